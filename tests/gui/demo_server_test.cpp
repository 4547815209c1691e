// The loopback server of the demo directory, asked with plain blocking
// sockets: the test thread never runs its event loop meanwhile, so every
// answer also shows that the server runs on a thread of its own.
#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QTcpSocket>
#include <QTest>

#include "app/demo_server.h"
#include "support/test_main.h"

using vantrelis::DemoServer;

namespace {

struct Reply {
  int status = 0;
  QByteArray contentType;
  QByteArray body;
};

// GET `target` (path and query) from `base`, without any event processing.
Reply Fetch(const QUrl& base, const QByteArray& target) {
  QTcpSocket socket;
  socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(base.port()));
  if (!socket.waitForConnected(5000)) return {};
  socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
  socket.waitForBytesWritten(5000);
  QByteArray raw;
  qsizetype headerEnd = -1;
  qsizetype length = -1;
  while (socket.waitForReadyRead(5000) || socket.bytesAvailable() > 0) {
    raw += socket.readAll();
    if (headerEnd < 0 && (headerEnd = raw.indexOf("\r\n\r\n")) >= 0) {
      for (const QByteArray& line : raw.left(headerEnd).split('\n'))
        if (line.toLower().startsWith("content-length:")) length = line.mid(15).trimmed().toLongLong();
    }
    if (headerEnd >= 0 && length >= 0 && raw.size() >= headerEnd + 4 + length) break;
  }
  Reply reply;
  if (headerEnd < 0) return reply;
  const QList<QByteArray> lines = raw.left(headerEnd).split('\n');
  reply.status = lines.value(0).split(' ').value(1).toInt();
  for (const QByteArray& line : lines)
    if (line.toLower().startsWith("content-type:")) reply.contentType = line.mid(13).trimmed();
  reply.body = raw.mid(headerEnd + 4);
  return reply;
}

}  // namespace

class DemoServerTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(m_server.start());
    QVERIFY(m_server.start());  // a second start changes nothing
  }

  void addresses() {
    const QUrl base = m_server.baseUrl();
    QCOMPARE(base.host(), QStringLiteral("127.0.0.1"));
    QVERIFY(base.port() > 0);
    QCOMPARE(m_server.url(QStringLiteral("/pagesjaunes/index.aspx")).toString(),
             base.toString() + QStringLiteral("pagesjaunes/index.aspx"));
    QVERIFY(DemoServer().baseUrl().isEmpty());  // not started
  }

  void servesFilesByPath() {
    Reply page = Fetch(m_server.baseUrl(), "/text.html");
    QCOMPARE(page.status, 200);
    QCOMPARE(page.contentType, QByteArray("text/html; charset=utf-8"));
    QVERIFY(page.body.contains("Caf\xC3\xA9"));

    const Reply image = Fetch(m_server.baseUrl(), "/image.svg");
    QCOMPARE(image.status, 200);
    QCOMPARE(image.contentType, QByteArray("image/svg+xml"));

    // The query is not part of the file's name.
    page = Fetch(m_server.baseUrl(), "/text.html?page=2&q=caf%C3%A9");
    QCOMPARE(page.status, 200);
    QVERIFY(page.body.contains("Caf\xC3\xA9"));
  }

  void ignoresLetterCase() {
    const Reply page = Fetch(m_server.baseUrl(), "/dossier/PAGE.html");
    QCOMPARE(page.status, 200);
    QCOMPARE(page.contentType, QByteArray("text/html; charset=utf-8"));
    QVERIFY(page.body.contains("casse ignoree"));
  }

  void missingAndForbiddenPaths() {
    for (const QByteArray& target : {QByteArray("/absent.html"), QByteArray("/dossier/"),
                                     QByteArray("/..%2F..%2Fgui%2Fbrowser_test.cpp"),
                                     QByteArray("/%2E%2E/%2E%2E/gui/browser_test.cpp")}) {
      const Reply reply = Fetch(m_server.baseUrl(), target);
      QCOMPARE(reply.status, 404);
      QCOMPARE(reply.contentType, QByteArray("text/html; charset=utf-8"));
      QVERIFY2(reply.body.contains("Page introuvable"), target.constData());
    }
  }

  void answersWhileGuiThreadIsBlocked() {
    // A request sent, then the GUI thread blocked in the socket's own wait:
    // the answer comes without one event of this thread being processed.
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(m_server.baseUrl().port()));
    QVERIFY(socket.waitForConnected(5000));
    socket.write("GET /second.html HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QVERIFY(socket.waitForBytesWritten(5000));
    QVERIFY(socket.waitForReadyRead(5000));
    QVERIFY(socket.readAll().startsWith("HTTP/1.1 200"));
  }

  void servesCompiledDemo() {
    DemoServer demo;
    QVERIFY(demo.start());
    const Reply page = Fetch(demo.baseUrl(), "/pagesjaunes/index.aspx");
    QCOMPARE(page.status, 200);
    QCOMPARE(page.contentType, QByteArray("text/html; charset=utf-8"));
    QCOMPARE(Fetch(demo.baseUrl(), "/PagesJaunes/Index.aspx").body, page.body);
  }

  void demoPagesShowNoEscapedMarkUp() {
    // Names are written as the directory's pages write them, with mark-up;
    // mark-up escaped once more would show on the page as "<b>".
    DemoServer demo;  // registers the compiled-in pages
    int pages = 0;
    for (QDirIterator it(QStringLiteral(":/demo"), {QStringLiteral("*.aspx")}, QDir::Files,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
      QFile file(it.next());
      QVERIFY(file.open(QIODevice::ReadOnly));
      const QByteArray html = file.readAll();
      QVERIFY2(!html.contains("&lt;") && !html.contains("&gt;"), qPrintable(file.fileName()));
      ++pages;
    }
    QVERIFY(pages > 20);
  }

 private:
  DemoServer m_server{QStringLiteral(VANTRELIS_TEST_DATA "/browser")};
};

VANTRELIS_GUILESS_TEST_MAIN(DemoServerTest)
#include "demo_server_test.moc"
