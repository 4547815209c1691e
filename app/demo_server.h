// A small web server on the loopback interface that serves the bundled demo
// directory (or any folder) to the program's own browsers.
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

#include "app/loopback_server.h"

namespace vantrelis {

// Serves GET requests on 127.0.0.1 from a thread of its own, so that the
// work of the GUI thread (a listing being parsed, a dialog) never holds up
// a page. Path P (the query ignored) is answered with the file root + P, or
// with the file whose path matches P when letter case is ignored; anything
// else gets a French 404 page.
class DemoServer : public QObject {
  Q_OBJECT

 public:
  // `root` is a Qt resource prefix (":/demo") or a folder.
  explicit DemoServer(QString root = QStringLiteral(":/demo"), QObject* parent = nullptr);
  ~DemoServer() override;

  // Starts listening on `port` of 127.0.0.1 (0: a free one); false (and a
  // warning) if it cannot.
  bool start(quint16 port = 0);
  // http://127.0.0.1:<port>/ once started, else empty.
  QUrl baseUrl() const;
  // The address of `path` (for example "/pagesjaunes/index.aspx").
  QUrl url(const QString& path) const;

 private:
  QString m_root;
  quint16 m_port = 0;
  std::unique_ptr<LoopbackServer> m_server;
};

}  // namespace vantrelis
