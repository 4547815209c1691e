// What the programs leave on the error output: their own French lines.
// The browser engine's informational output, Qt's diagnostics and
// Chromium's log lines are English developer talk; they are held back
// unless VANTRELIS_DEBUG=1 asks for them.
#pragma once

#include <QLoggingCategory>

namespace vantrelis {

// The category of the programs' own messages (French): they always pass.
Q_DECLARE_LOGGING_CATEGORY(lcVantrelis)

// Call before the application object exists. Unless VANTRELIS_DEBUG=1:
// Chromium (and the engine's helper processes) log only fatal errors, and of
// Qt's messages only critical and fatal ones, and those of lcVantrelis, reach
// the error output. Whatever the switch, a start that finds no usable
// display prints `noDisplay` (French, one or more lines) instead of Qt's
// fatal message and ends the process with status 1.
void KeepEngineOutputQuiet(const char* noDisplay);

}  // namespace vantrelis
