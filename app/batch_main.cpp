// vantrelis-batch: the headless command (no display needed).
#include <iostream>
#include <string>
#include <vector>

#include "app/batch.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  int status = vantrelis::RunBatch(args, std::cout, std::cerr);
  std::cout.flush();
  return status;
}
