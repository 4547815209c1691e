// vantrelis-batch: the headless command. It loads no Qt: a command that
// harvests is handed over to the program that can.
#include <iostream>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "batch/harvesting_program.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (vantrelis::CommandHarvests(args)) return vantrelis::ExecHarvestingProgram(argv, std::cerr);
  const int status = vantrelis::RunBatch(args, std::cout, std::cerr);
  std::cout.flush();
  return status;
}
