// The headless harvests of vantrelis-batch: a real browser, no window shown.
#pragma once

#include <memory>

#include "batch/batch.h"
#include "store/contact_table.h"

namespace vantrelis {

class SessionJournal;

// The harvests of one command. Qt WebEngine starts once in a process: the
// application, the browser profile on the site data folder (held from the
// first harvest on) and the demo directory's server are made at the first
// harvest and kept until the last one has ended, so that every harvest of
// the command runs, in one browser that remembers what the sites set.
class BatchHarvester {
 public:
  BatchHarvester();
  // Shuts the browser engine down if a harvest left it running.
  ~BatchHarvester();
  BatchHarvester(const BatchHarvester&) = delete;
  BatchHarvester& operator=(const BatchHarvester&) = delete;

  // Harvests as a HarvestFunction does, from request.url ("demo": the
  // bundled demo directory's first result page) until no "Suivant" link is
  // left, the run goes round in circles, the site stops it, or a stop
  // signal (see StopSignals) ends it; then settles the open row. Tells each
  // listing on stderr (see ProgressReport), and a summary. Once the harvest
  // marked last has ended, the engine is shut down: the cookies reach the
  // disk, the site data are free, and no engine process outlives the
  // harvest. Throws HarvestBlocked when the site stopped the harvest, and
  // std::runtime_error (French message) when it fails, a start page that
  // cannot be loaded included, or when a harvest comes after the engine
  // was shut down; the rows harvested before stay in `table`.
  void operator()(ContactTable& table, const HarvestRequest& request, SessionJournal* journal);

 private:
  struct Engine;
  void ShutDown();

  std::unique_ptr<Engine> m_engine;
  bool m_shutDown = false;
};

}  // namespace vantrelis
