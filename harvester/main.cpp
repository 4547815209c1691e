// vantrelis-batch-harvest: vantrelis-batch with the harvest, which needs the
// browser engine; vantrelis-batch hands the commands that harvest to it.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "app/engine_output.h"
#include "app/messages.h"
#include "batch/batch.h"
#include "harvester/batch_harvester.h"

int main(int argc, char** argv) {
  // The command's error output carries its own French lines only.
  vantrelis::KeepEngineOutputQuiet(vantrelis::messages::kHarvestWithoutDisplay);
  const std::vector<std::string> args(argv + 1, argv + argc);
  vantrelis::BatchHarvester harvester;
  const int status = vantrelis::RunBatch(
      args, std::cout, std::cerr,
      [&harvester](vantrelis::ContactTable& table, const vantrelis::HarvestRequest& request,
                   vantrelis::SessionJournal* journal) { harvester(table, request, journal); });
  std::cout.flush();
  // The command is done; a stop signal no longer cuts short the engine's
  // shutdown should a harvest have left it running.
  std::signal(SIGINT, SIG_IGN);
  std::signal(SIGTERM, SIG_IGN);
  return status;
}
