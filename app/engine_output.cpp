#include "app/engine_output.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace vantrelis {

Q_LOGGING_CATEGORY(lcVantrelis, "vantrelis")

namespace {

// Chromium's lowest level that still logs: 3 is FATAL (0 INFO, 1 WARNING,
// 2 ERROR). The helper processes inherit the switch.
constexpr const char* kChromiumLogLevel = "--log-level=3";
// What Qt's fatal message says when no platform plugin could start (no
// display, or one that does not answer).
constexpr const char* kNoPlatformPlugin = "no Qt platform plugin could be initialized";

QtMessageHandler g_previous = nullptr;
const char* g_noDisplay = nullptr;
bool g_debug = false;

void HandleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg && g_noDisplay != nullptr && message.contains(QLatin1String(kNoPlatformPlugin))) {
    std::fputs(g_noDisplay, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    // Nothing of the half-made application is worth unwinding.
    std::_Exit(1);
  }
  const bool diagnostic = type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg;
  const bool own =
      context.category != nullptr && qstrcmp(context.category, lcVantrelis().categoryName()) == 0;
  if (diagnostic && !own && !g_debug) return;
  if (g_previous != nullptr) g_previous(type, context, message);
}

// True when the user already chose Chromium's logging in its flags.
bool ChromiumLoggingChosen(const QByteArray& flags) {
  for (const QByteArray& flag : flags.split(' ')) {
    if (flag.startsWith("--log-level") || flag.startsWith("--enable-logging")) return true;
  }
  return false;
}

bool DebugOutputRequested() { return qgetenv("VANTRELIS_DEBUG") == "1"; }

}  // namespace

void KeepEngineOutputQuiet(const char* noDisplay) {
  g_debug = DebugOutputRequested();
  g_noDisplay = noDisplay;
  if (!g_debug) {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!ChromiumLoggingChosen(flags)) {
      if (!flags.isEmpty()) flags += ' ';
      flags += kChromiumLogLevel;
      qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    }
  }
  // Installed once: a second call only changes the message and the switch.
  static const QtMessageHandler previous = qInstallMessageHandler(HandleMessage);
  g_previous = previous;
}

}  // namespace vantrelis
