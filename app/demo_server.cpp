#include "app/demo_server.h"

#include <QAbstractHttpServer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QtDebug>

#include "app/engine_output.h"

// Registers the demo pages compiled into the program; Q_INIT_RESOURCE must be
// called from outside any namespace.
static void InitDemoResources() { Q_INIT_RESOURCE(demo); }

namespace vantrelis {
namespace {

QByteArray ContentType(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == u"aspx" || suffix == u"html" || suffix == u"htm") return "text/html; charset=utf-8";
  if (suffix == u"css") return "text/css; charset=utf-8";
  if (suffix == u"js") return "text/javascript; charset=utf-8";
  if (suffix == u"png") return "image/png";
  if (suffix == u"svg") return "image/svg+xml";
  if (suffix == u"jpg" || suffix == u"jpeg") return "image/jpeg";
  if (suffix == u"gif") return "image/gif";
  if (suffix == u"ico") return "image/x-icon";
  if (suffix == u"txt") return "text/plain; charset=utf-8";
  return "application/octet-stream";
}

// The entry of `dir` named `name` when letter case is ignored; empty if none.
QString FindIgnoringCase(const QString& dir, const QString& name) {
  const QStringList entries = QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  for (const QString& entry : entries)
    if (entry.compare(name, Qt::CaseInsensitive) == 0) return entry;
  return {};
}

// The file under `root` that answers `path`: the exact file, else the one
// whose path matches when letter case is ignored; a folder answers with its
// index page. Empty when there is none.
QString ResolveFile(const QString& root, const QString& path) {
  const QStringList segments = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  for (const QString& segment : segments)
    if (segment == u".." || segment == u"." || segment.contains(QLatin1Char('\\'))) return {};
  QString found = root;
  const QString exact = root + QLatin1Char('/') + segments.join(QLatin1Char('/'));
  if (QFileInfo::exists(exact)) {
    found = exact;
  } else {
    for (const QString& segment : segments) {
      const QString entry = FindIgnoringCase(found, segment);
      if (entry.isEmpty()) return {};
      found += QLatin1Char('/') + entry;
    }
  }
  if (QFileInfo(found).isDir()) {
    for (const char* index : {"index.aspx", "index.html", "index.htm"}) {
      const QString entry = FindIgnoringCase(found, QString::fromLatin1(index));
      if (!entry.isEmpty()) return found + QLatin1Char('/') + entry;
    }
    return {};
  }
  return QFileInfo(found).isFile() ? found : QString();
}

QByteArray ErrorPage(const QString& title, const QString& text) {
  return QStringLiteral(
             "<!DOCTYPE html>\n<html lang=\"fr\"><head><meta charset=\"utf-8\"><title>%1</title></head>"
             "<body><h1>%1</h1><p>%2</p></body></html>\n")
      .arg(title.toHtmlEscaped(), text.toHtmlEscaped())
      .toUtf8();
}

// The HTTP side: every request is answered here, from the server's thread.
class FileHttpServer : public QAbstractHttpServer {
 public:
  explicit FileHttpServer(QString root) : m_root(std::move(root)) {}

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
    QHttpServerResponder responder = makeResponder(request, socket);
    const QString path = request.url().path(QUrl::FullyDecoded);
    if (request.method() != QHttpServerRequest::Method::Get &&
        request.method() != QHttpServerRequest::Method::Head) {
      responder.write(ErrorPage(QStringLiteral("Méthode non prise en charge"),
                                QStringLiteral("Ce serveur ne répond qu'aux lectures de pages.")),
                      "text/html; charset=utf-8", QHttpServerResponder::StatusCode::MethodNotAllowed);
      return true;
    }
    const QString file = ResolveFile(m_root, path);
    QFile source(file);
    if (file.isEmpty() || !source.open(QIODevice::ReadOnly)) {
      responder.write(ErrorPage(QStringLiteral("Page introuvable"),
                                QStringLiteral("La page « %1 » n'existe pas sur ce serveur.").arg(path)),
                      "text/html; charset=utf-8", QHttpServerResponder::StatusCode::NotFound);
      return true;
    }
    responder.write(source.readAll(), ContentType(file));
    return true;
  }

  void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

 private:
  QString m_root;
};

}  // namespace

DemoServer::DemoServer(QString root, QObject* parent) : QObject(parent), m_root(std::move(root)) {
  while (m_root.size() > 1 && m_root.endsWith(QLatin1Char('/'))) m_root.chop(1);
  if (m_root.startsWith(QLatin1String(":/demo"))) InitDemoResources();
}

DemoServer::~DemoServer() = default;

bool DemoServer::start(quint16 port) {
  if (m_server) return m_port != 0;
  m_server = std::make_unique<LoopbackServer>(std::make_unique<FileHttpServer>(m_root),
                                              QStringLiteral("DemoServer"));
  m_port = m_server->listen(port);
  if (m_port == 0) qCWarning(lcVantrelis, "DemoServer: impossible d'écouter sur 127.0.0.1");
  return m_port != 0;
}

QUrl DemoServer::baseUrl() const {
  if (m_port == 0) return {};
  return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port));
}

QUrl DemoServer::url(const QString& path) const {
  const QUrl base = baseUrl();
  if (base.isEmpty()) return {};
  QString relative = path;
  while (relative.startsWith(QLatin1Char('/'))) relative.remove(0, 1);
  return base.resolved(QUrl(relative));
}

}  // namespace vantrelis
