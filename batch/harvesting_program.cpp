#include "batch/harvesting_program.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ostream>

#include "batch/batch.h"
#include "store/save_file.h"

namespace vantrelis {
namespace {

bool IsExecutableFile(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

}  // namespace

std::string HarvestingProgramPath(const std::string& self) {
  const size_t slash = self.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : self.substr(0, slash == 0 ? 1 : slash);
  for (const std::string& candidate :
       {folder + "/" + kHarvestingProgram,
        folder + "/" + kHarvestingProgramFromBinaries + "/" + kHarvestingProgram}) {
    if (IsExecutableFile(candidate)) return candidate;
  }
  return {};
}

int ExecHarvestingProgram(char** argv, std::ostream& err) {
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) {
    err << "vantrelis-batch : impossible de trouver le programme de récolte (" << FileErrorReason(errno)
        << ")\n";
    return kBatchFailed;
  }
  self[length] = '\0';
  const std::string program = HarvestingProgramPath(self);
  if (program.empty()) {
    err << "vantrelis-batch : le programme de récolte " << kHarvestingProgram << " est introuvable à côté de "
        << self << " : l'installation est incomplète\n";
    return kBatchFailed;
  }
  ::execv(program.c_str(), argv);
  err << "vantrelis-batch : impossible de lancer le programme de récolte " << program << " ("
      << FileErrorReason(errno) << ")\n";
  return kBatchFailed;
}

}  // namespace vantrelis
