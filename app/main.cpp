// Vantrelis: harvests business listings of an online directory into a table.
#include "app/application.h"

int main(int argc, char** argv) { return vantrelis::RunVantrelis(argc, argv); }
