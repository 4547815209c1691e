// The harvest's browser operations on Qt WebEngine, against real pages served
// on the loopback interface.
#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <csignal>
#include <memory>

#include <sys/types.h>

#include "app/demo_server.h"
#include "browser/real_clock.h"
#include "browser/webengine_browser.h"
#include "browser/webengine_setup.h"
#include "harvest/browser.h"

using vantrelis::BrowserAborted;
using vantrelis::BrowserDriver;
using vantrelis::BrowserError;

namespace {

// Answers "/" at once with a page whose "Suivant" link leads to "/lente",
// which comes only after a delay longer than the driver's fixed pauses;
// "/jamais" never comes.
class SlowServer : public QTcpServer {
 public:
  SlowServer() {
    connect(this, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, socket, [socket] {
          const QByteArray request = socket->readAll();
          if (!request.startsWith("GET ")) return;
          const QByteArray path = request.mid(4, request.indexOf(' ', 4) - 4);
          if (path == "/jamais") return;  // the connection stays open, unanswered
          const int delay = path == "/lente" ? 2500 : 0;
          const QByteArray body = path == "/lente"
              ? QByteArray("<html><body><p>page lente</p></body></html>")
              : QByteArray("<html><body><p><a href=\"/lente\">Suivant</a>"
                           " <a href=\"javascript:location.assign('/lente')\">Script</a></p></body></html>");
          QTimer::singleShot(delay, socket, [socket, body] {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                          "Connection: close\r\nContent-Length: " +
                          QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
          });
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      }
    });
  }
  QUrl url(const char* path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(QLatin1String(path)));
  }
};

std::string Utf8(const QUrl& url) { return url.toString(QUrl::FullyEncoded).toStdString(); }

}  // namespace

class BrowserTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(m_server.start());
    QVERIFY(m_slow.listen(QHostAddress::LocalHost));
  }

  void init() {
    m_view = std::make_unique<QWebEngineView>();
    m_view->resize(800, 600);
    m_browser = std::make_unique<WebEngineBrowser>(m_view.get());
  }

  void cleanup() {
    m_browser.reset();
    m_view.reset();
  }

  void stateBeforeAndAcrossNavigation() {
    WebEngineBrowser& b = *m_browser;
    QCOMPARE(b.ReadyState(), 0);
    QVERIFY(!b.Busy());
    QCOMPARE(b.CurrentUrl(), std::string());
    QVERIFY_THROWS_EXCEPTION(BrowserError, b.Navigate("pas une adresse"));
    QVERIFY_THROWS_EXCEPTION(BrowserError, b.Navigate(""));
    QVERIFY_THROWS_EXCEPTION(BrowserError, b.Navigate("mailto:service.clients@annuaire.example"));
    QVERIFY(!b.Busy());

    // Busy from the call on, before Chromium reported anything.
    b.Navigate(Utf8(m_server.url("/text.html")));
    QVERIFY(b.Busy());
    m_driver.WaitUntilReady(b);
    QVERIFY(!b.Busy());
    QCOMPARE(b.ReadyState(), 4);
    QCOMPARE(b.CurrentUrl(), Utf8(m_server.url("/text.html")));
  }

  void documentHtmlInCodePage() {
    m_driver.Navigate(*m_browser, Utf8(m_server.url("/text.html")));
    const std::string html = m_driver.DocumentHtml(*m_browser);
    QVERIFY2(html.rfind("<body", 0) == 0, html.c_str());
    // é is the code page's byte 0xE9; a CJK character has no similar one.
    QVERIFY2(html.find("Caf\xE9 ? fin") != std::string::npos, html.c_str());
  }

  void pageWithoutBody() {
    m_driver.Navigate(*m_browser, Utf8(m_server.url("/image.svg")));
    m_driver.WaitUntilReady(*m_browser);
    try {
      m_browser->BodyOuterHtml();
      QFAIL("a document without a body was read");
    } catch (const BrowserError& error) {
      QVERIFY2(std::string(error.what()).find("body") != std::string::npos, error.what());
    }
  }

  void clickWithNothingToClick() {
    m_driver.Navigate(*m_browser, Utf8(m_server.url("/nolinks.html")));
    QVERIFY(!m_driver.ClickLinkContaining(*m_browser, "Suivant"));
    // The text test is case-sensitive.
    m_driver.Navigate(*m_browser, Utf8(m_server.url("/lower.html")));
    QVERIFY(!m_driver.ClickLinkContaining(*m_browser, "Suivant"));
    QVERIFY(!m_browser->Busy());
    QCOMPARE(m_browser->CurrentUrl(), Utf8(m_server.url("/lower.html")));
  }

  void clickTwoLinksInOneGo() {
    m_driver.Navigate(*m_browser, Utf8(m_server.url("/two.html")));
    m_driver.WaitUntilReady(*m_browser);
    const std::vector<std::u16string> links = m_browser->LinkInnerHtmls();
    QCOMPARE(links.size(), size_t(2));
    QVERIFY(links[0] == u"Suivant");
    QVERIFY(links[1] == u"<b>Suivant</b>");

    QVERIFY(m_driver.ClickLinkContaining(*m_browser, "Suivant"));
    const std::string html = m_driver.DocumentHtml(*m_browser);
    // Had the second click waited for the first page, it would have hit the
    // second link of first.html, which leads to behind.html.
    QVERIFY2(html.find("derriere") == std::string::npos, html.c_str());
    QVERIFY2(html.find("<p id=\"page\">second</p>") != std::string::npos, html.c_str());
    QCOMPARE(m_browser->CurrentUrl(), Utf8(m_server.url("/second.html")));
  }

  void waitCoversSlowPageAfterClick() {
    m_driver.Navigate(*m_browser, Utf8(m_slow.url("/")));
    m_driver.WaitUntilReady(*m_browser);
    m_browser->ClickLinks({0});
    QVERIFY(m_browser->Busy());  // before any event told of the load
    std::string html = m_driver.DocumentHtml(*m_browser);
    QVERIFY2(html.find("page lente") != std::string::npos, html.c_str());

    // The same through a script link, whose load only the page knows of.
    m_driver.Navigate(*m_browser, Utf8(m_slow.url("/")));
    QVERIFY(m_driver.ClickLinkContaining(*m_browser, "Script"));
    html = m_driver.DocumentHtml(*m_browser);
    QVERIFY2(html.find("page lente") != std::string::npos, html.c_str());
  }

  void newWindowsRefused() {
    QSignalSpy refused(m_browser.get(), &WebEngineBrowser::newWindowRefused);
    const std::string page = Utf8(m_server.url("/popup.html"));
    m_driver.Navigate(*m_browser, page);
    QVERIFY(m_driver.ClickLinkContaining(*m_browser, "Nouvel onglet"));
    QVERIFY(!m_browser->Busy());  // a new-window link loads nothing here
    m_driver.WaitUntilReady(*m_browser);
    QCOMPARE(m_browser->CurrentUrl(), page);

    QVERIFY(m_driver.ClickLinkContaining(*m_browser, "surgissante"));
    m_driver.WaitUntilReady(*m_browser);
    QCOMPARE(m_browser->CurrentUrl(), page);
    QTRY_COMPARE(refused.count(), 2);

    // A script link that loads nothing ends the wait all the same; a
    // same-page link starts no load.
    QVERIFY(m_driver.ClickLinkContaining(*m_browser, "Script"));
    m_driver.WaitUntilReady(*m_browser);
    QCOMPARE(m_browser->CurrentUrl(), page);
    QVERIFY(m_driver.ClickLinkContaining(*m_browser, "Ancre"));
    QVERIFY(!m_browser->Busy());
    const std::string html = m_driver.DocumentHtml(*m_browser);
    QVERIFY(html.find("bas de page") != std::string::npos);
  }

  void dialogsNeverBlock() {
    m_driver.Navigate(*m_browser, Utf8(m_server.url("/dialogs.html")));
    const std::string html = m_driver.DocumentHtml(*m_browser);
    QVERIFY2(html.find("confirm=false prompt=null") != std::string::npos, html.c_str());
    // The page's "leave this page?" handler must not keep it, even once a
    // person has used the page (the question is only asked then).
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    QTRY_VERIFY(m_view->focusProxy() != nullptr);
    QTest::qWait(300);
    QTest::mousePress(m_view->focusProxy(), Qt::LeftButton, {}, QPoint(300, 300));
    QTest::mouseRelease(m_view->focusProxy(), Qt::LeftButton, {}, QPoint(300, 300), 50);
    QTest::keyClick(m_view->focusProxy(), Qt::Key_A);
    QTest::qWait(300);
    QVERIFY(m_driver.ClickLinkContaining(*m_browser, "Suivant"));
    const std::string next = m_driver.DocumentHtml(*m_browser);
    QVERIFY2(next.find("<p id=\"page\">second</p>") != std::string::npos, next.c_str());
  }

  void abortEndsWaits() {
    m_browser->Navigate(Utf8(m_slow.url("/jamais")));
    QTimer::singleShot(200, m_browser.get(), &WebEngineBrowser::abortWaits);
    QVERIFY_THROWS_EXCEPTION(BrowserAborted, m_driver.WaitUntilReady(*m_browser));
    QVERIFY(m_browser->aborted());
    QVERIFY_THROWS_EXCEPTION(BrowserAborted, m_browser->Busy());
    QVERIFY_THROWS_EXCEPTION(BrowserAborted, m_browser->BodyOuterHtml());
  }

  void rendererCrashIsNoAbort() {
    // The page's renderer dies while a wait handles events: the browser stays
    // usable (the next page starts a new renderer) and nothing is taken for
    // the application's end.
    m_driver.Navigate(*m_browser, Utf8(m_server.url("/text.html")));
    m_driver.WaitUntilReady(*m_browser);
    QSignalSpy gone(m_view->page(), &QWebEnginePage::renderProcessTerminated);
    const qint64 pid = m_view->page()->renderProcessPid();
    QVERIFY(pid > 0);
    QVERIFY(::kill(static_cast<pid_t>(pid), SIGKILL) == 0);
    QElapsedTimer clock;
    clock.start();
    while (gone.isEmpty() && clock.elapsed() < 10000) m_browser->ProcessPendingMessages();
    QCOMPARE(gone.count(), 1);
    QVERIFY(!m_browser->aborted());
    m_driver.Navigate(*m_browser, Utf8(m_server.url("/second.html")));
    const std::string html = m_driver.DocumentHtml(*m_browser);
    QVERIFY2(html.find("<p id=\"page\">second</p>") != std::string::npos, html.c_str());
  }

  void viewGoneMeansAborted() {
    m_browser->Navigate(Utf8(m_server.url("/text.html")));
    m_view.reset();
    QVERIFY(m_browser->view() == nullptr);
    QVERIFY_THROWS_EXCEPTION(BrowserAborted, m_browser->ReadyState());
  }

 private:
  DemoServer m_server{QStringLiteral(VANTRELIS_TEST_DATA "/browser")};
  SlowServer m_slow;
  RealClock m_clock;
  BrowserDriver m_driver{m_clock};
  std::unique_ptr<QWebEngineView> m_view;
  std::unique_ptr<WebEngineBrowser> m_browser;
};

int main(int argc, char** argv) {
  PrepareWebEngineEnvironment();
  QApplication app(argc, argv);
  BrowserTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "browser_test.moc"
