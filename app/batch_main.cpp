// vantrelis-batch-harvest: vantrelis-batch with the harvest, which needs the
// browser engine; vantrelis-batch hands the commands with --harvest to it.
#include <iostream>
#include <string>
#include <vector>

#include "app/batch_harvest.h"
#include "app/engine_output.h"
#include "app/messages.h"
#include "batch/batch.h"

int main(int argc, char** argv) {
  // The command's error output carries its own French lines only.
  vantrelis::KeepEngineOutputQuiet(vantrelis::messages::kHarvestWithoutDisplay);
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int status = vantrelis::RunBatch(args, std::cout, std::cerr, vantrelis::BatchHarvest);
  std::cout.flush();
  return status;
}
