// A copy of a browser profile's cookies, written to a file of its own within
// a second of every change, so that a kill or a crash loses at most that
// second of them: the engine writes its own store only every 30 s.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

class QNetworkCookie;
class QWebEngineProfile;

namespace vantrelis {

class CookieMirror : public QObject {
  Q_OBJECT

 public:
  // Gives `profile`'s cookie store back the cookies saved in `file` (those
  // the engine may not have written before the program ended), then follows
  // every change of the store and saves it in `file`.
  CookieMirror(QWebEngineProfile* profile, const QString& file, QObject* parent = nullptr);
  // Saves what is not saved yet.
  ~CookieMirror() override;

  // The longest a change waits before it is saved.
  static constexpr int kSaveDelayMs = 1000;

 private:
  void added(const QNetworkCookie& cookie);
  void removed(const QNetworkCookie& cookie);
  void save();

  QString m_file;
  QHash<QByteArray, QByteArray> m_cookies;  // raw form by name, domain and path
  QTimer m_timer;
};

}  // namespace vantrelis
