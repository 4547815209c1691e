#include "browser/cookie_mirror.h"

#include <QFile>
#include <QNetworkCookie>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <algorithm>

#include "store/posix_io.h"
#include "store/save_file.h"

namespace vantrelis {
namespace {

QByteArray Key(const QNetworkCookie& cookie) {
  return cookie.name() + '\n' + cookie.domain().toUtf8() + '\n' + cookie.path().toUtf8();
}

// The address a cookie belongs to, as the store wants it for a cookie set
// from outside a page.
QUrl Origin(const QNetworkCookie& cookie) {
  QString host = cookie.domain();
  while (host.startsWith(QLatin1Char('.'))) host.remove(0, 1);
  QUrl origin;
  origin.setScheme(cookie.isSecure() ? QStringLiteral("https") : QStringLiteral("http"));
  origin.setHost(host);
  origin.setPath(cookie.path().isEmpty() ? QStringLiteral("/") : cookie.path());
  return origin;
}

}  // namespace

CookieMirror::CookieMirror(QWebEngineProfile* profile, const QString& file, QObject* parent)
    : QObject(parent), m_file(file) {
  m_timer.setSingleShot(true);
  m_timer.setInterval(kSaveDelayMs);
  connect(&m_timer, &QTimer::timeout, this, &CookieMirror::save);
  QWebEngineCookieStore* store = profile->cookieStore();
  connect(store, &QWebEngineCookieStore::cookieAdded, this, &CookieMirror::added);
  connect(store, &QWebEngineCookieStore::cookieRemoved, this, &CookieMirror::removed);
  QFile saved(file);
  if (!saved.open(QIODevice::ReadOnly)) return;
  while (!saved.atEnd()) {
    const QByteArray line = saved.readLine().trimmed();
    if (line.isEmpty()) continue;
    for (const QNetworkCookie& cookie : QNetworkCookie::parseCookies(line)) {
      if (cookie.domain().isEmpty()) continue;
      m_cookies.insert(Key(cookie), line);
      store->setCookie(cookie, Origin(cookie));
    }
  }
}

CookieMirror::~CookieMirror() {
  if (m_timer.isActive()) save();
}

void CookieMirror::added(const QNetworkCookie& cookie) {
  m_cookies.insert(Key(cookie), cookie.toRawForm(QNetworkCookie::Full));
  if (!m_timer.isActive()) m_timer.start();
}

void CookieMirror::removed(const QNetworkCookie& cookie) {
  if (m_cookies.remove(Key(cookie)) == 0) return;
  if (!m_timer.isActive()) m_timer.start();
}

void CookieMirror::save() {
  m_timer.stop();
  QByteArrayList lines = m_cookies.values();
  std::sort(lines.begin(), lines.end());
  const QByteArray content = lines.join('\n') + '\n';
  try {
    // Saved whole or not at all; the folder is the user's alone.
    SaveFile(QFile::encodeName(m_file).toStdString(), [&](const SaveTarget& target) {
      // The target is a new, empty file.
      if (WriteFullAt(target.fd, content.constData(), static_cast<size_t>(content.size()), 0) != 0)
        throw FileError("Impossible d'enregistrer les cookies dans " + m_file.toStdString());
    });
  } catch (const std::exception&) {
    // The engine's own store still has them, as of its last write.
  }
}

}  // namespace vantrelis
