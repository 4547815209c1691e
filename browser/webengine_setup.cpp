#include "browser/webengine_setup.h"

#include "browser/harvest_page.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QtGlobal>

namespace vantrelis {
namespace {

// True when Qt will run without a screen: the offscreen platform, or X11
// chosen (or defaulted to) without a DISPLAY and no Wayland either.
bool WithoutDisplay() {
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (platform.startsWith("offscreen") || platform.startsWith("minimal")) return true;
  if (!platform.isEmpty() && !platform.startsWith("xcb")) return false;
  return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void AddChromiumFlag(const QByteArray& flag) {
  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  if (flags.split(' ').contains(flag)) return;
  if (!flags.isEmpty()) flags += ' ';
  flags += flag;
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

}  // namespace

void PrepareWebEngineEnvironment() {
  // Chromium refuses to start as root with its sandbox on; a normal user
  // keeps it.
  if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  if (WithoutDisplay()) AddChromiumFlag("--disable-gpu");
}

QWebEngineProfile* HarvestProfile() {
  // Parented to the application so that it goes before WebEngine shuts down;
  // made anew should a later application object need one.
  static QPointer<QWebEngineProfile> profile;
  if (profile.isNull()) {
    auto* p = new QWebEngineProfile(QCoreApplication::instance());  // off the record: no name
    p->setHttpAcceptLanguage(QStringLiteral("fr-CH,fr;q=0.9"));
    p->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    p->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    // A script's window.open() (or a link with a target) that no person's
    // click started is refused by the engine itself, before any window
    // exists. Let through to HarvestPage::createWindow, each one would first
    // become a whole new page in the renderer, which keeps them all while
    // the script runs: a page opening pop-ups in a loop then costs more per
    // refusal the more it asked for (300 of them held a listing for over
    // 30 s). A person's click still reaches createWindow, and is refused
    // there.
    p->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    QObject::connect(p, &QWebEngineProfile::downloadRequested, p, [](QWebEngineDownloadRequest* download) {
      download->cancel();
      // The browser that asked for the address must not take its old page
      // for the answer.
      if (auto* page = qobject_cast<HarvestPage*>(download->page())) page->noteRefusedDownload(download->url());
    });
    profile = p;
  }
  return profile.data();
}

}  // namespace vantrelis
