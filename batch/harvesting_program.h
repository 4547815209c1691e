// The program that carries out a vantrelis-batch command with --harvest:
// the harvest needs the browser engine (Qt WebEngine), which vantrelis-batch
// itself does not load, so such a command is handed over whole to a private
// helper installed beside it.
#pragma once

#include <iosfwd>
#include <string>

namespace vantrelis {

// The helper's file name, and its folder relative to that of vantrelis-batch
// once both are installed.
inline constexpr const char* kHarvestingProgram = VANTRELIS_HARVESTING_PROGRAM;
inline constexpr const char* kHarvestingProgramFromBinaries = VANTRELIS_LIBEXEC_FROM_BINARIES;

// The helper's path for the vantrelis-batch at `self`: in the same folder
// (the build tree), else under ../libexec/vantrelis/ from that folder (as
// installed); empty when neither holds an executable one.
std::string HarvestingProgramPath(const std::string& self);

// Replaces this process with the helper, given `argv` as it is; returns only
// when that cannot be done, with the reason on `err`, as kBatchFailed.
int ExecHarvestingProgram(char** argv, std::ostream& err);

}  // namespace vantrelis
