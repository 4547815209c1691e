#include "browser/webengine_setup.h"

#include "browser/cookie_mirror.h"
#include "browser/harvest_page.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QStandardPaths>
#include <QStringList>
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

// The storage name of the kept profile; the engine wants one to write to disk.
constexpr char kStorageName[] = "vantrelis";

// The profile HarvestProfile() gives, and the one KeepSiteDataIn() made.
QPointer<QWebEngineProfile>& CurrentProfile() {
  static QPointer<QWebEngineProfile> profile;
  return profile;
}
QPointer<QWebEngineProfile>& KeptProfile() {
  static QPointer<QWebEngineProfile> profile;
  return profile;
}
QPointer<CookieMirror>& KeptCookies() {
  static QPointer<CookieMirror> mirror;
  return mirror;
}

// The file where the kept profile's cookies are copied as they change.
constexpr char kCookieMirrorName[] = "cookies-recentes.txt";

// What every harvest profile does, kept or private.
void Configure(QWebEngineProfile& profile) {
  profile.setHttpAcceptLanguage(QStringLiteral("fr-CH,fr;q=0.9"));
  QObject::connect(&profile, &QWebEngineProfile::downloadRequested, &profile,
                   [](QWebEngineDownloadRequest* download) {
                     download->cancel();
                     // The browser that asked for the address must not take
                     // its old page for the answer.
                     if (auto* page = qobject_cast<HarvestPage*>(download->page()))
                       page->noteRefusedDownload(download->url());
                   });
  // A script's window.open() (or a link with a target) that no person's
  // click started is refused by the engine itself, before any window
  // exists. Let through to HarvestPage::createWindow, each one would first
  // become a whole new page in the renderer, which keeps them all while the
  // script runs: a page opening pop-ups in a loop then costs more per
  // refusal the more it asked for (300 of them held a listing for over
  // 30 s). A person's click still reaches createWindow, and is refused
  // there.
  profile.settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
}

// The folders of `path` that do not exist yet, the deepest first (the last
// one is the first to be made).
QStringList MissingFolders(const QString& path) {
  QStringList missing;
  for (QString at = QDir::cleanPath(path); QDir::isAbsolutePath(at) && !QFileInfo::exists(at);
       at = QFileInfo(at).path()) {
    missing.append(at);
  }
  return missing;
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
  QPointer<QWebEngineProfile>& profile = CurrentProfile();
  if (profile.isNull()) {
    // Parented to the application so that it goes before WebEngine shuts
    // down; made anew should a later application object need one.
    profile = new QWebEngineProfile(QCoreApplication::instance());  // off the record: no name
    Configure(*profile);
  }
  return profile.data();
}

void KeepSiteDataIn(const QString& folder) {
  // Chromium writes cookie changes to its database in batches: 30 s after
  // the first change of a batch, or at once past 512 of them. Deleting the
  // profile (ReleaseKeptSiteData) writes what is pending, on a task that the
  // engine's shutdown, when the application object goes, waits for. So
  // closing the window or the end of a vantrelis-batch harvest (SIGINT and
  // SIGTERM end it that way too) keeps every cookie, and the database stays
  // whole (SQLite). Qt 6.4 has no call that would write them sooner: a copy
  // of our own (CookieMirror), written within a second of each change and
  // given back to the store at the next start, keeps what a kill or a crash
  // would otherwise lose.
  const QString name = QString::fromLatin1(kStorageName);
  // A named profile makes its default folder at once, before it can be
  // given ours, and leaves its first settings file there when it moves:
  // what it made there goes again.
  const QStringList made = MissingFolders(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                                          QStringLiteral("/QtWebEngine/") + name);
  auto* profile = new QWebEngineProfile(name, QCoreApplication::instance());
  profile->setPersistentStoragePath(folder);
  profile->setCachePath(folder);
  if (!made.isEmpty()) QDir(made.constLast()).removeRecursively();
  profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
  profile->setHttpCacheMaximumSize(kSiteDataCacheBytes);
  // Session cookies are kept too: a consent that a site keeps in one holds
  // for the next run.
  profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
  Configure(*profile);
  KeptCookies() =
      new CookieMirror(profile, folder + QLatin1Char('/') + QLatin1String(kCookieMirrorName), profile);
  CurrentProfile() = profile;
  KeptProfile() = profile;
}

void ReleaseKeptSiteData() {
  QPointer<QWebEngineProfile>& kept = KeptProfile();
  if (kept.isNull()) return;
  if (CurrentProfile() == kept) CurrentProfile().clear();
  delete KeptCookies().data();  // saves what it has not saved yet
  delete kept.data();
}

}  // namespace vantrelis
