// The harvest's browser operations on Qt WebEngine, against real pages served
// on the loopback interface.
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <csignal>
#include <memory>
#include <optional>

#include <sys/types.h>

#include "app/demo_server.h"
#include "app/site_profile.h"
#include "batch/site_data.h"
#include "browser/real_clock.h"
#include "browser/webengine_browser.h"
#include "harvest/browser_driver.h"
#include "support/test_main.h"

using vantrelis::BrowserAborted;
using vantrelis::BrowserDriver;
using vantrelis::BrowserError;
using vantrelis::DemoServer;
using vantrelis::PageError;
using vantrelis::PageFault;
using vantrelis::RealClock;
using vantrelis::SiteDataFolder;
using vantrelis::SiteDataLock;
using vantrelis::SiteProfile;
using vantrelis::WebEngineBrowser;

namespace {

// Pages that go wrong in every way a listing can, on the loopback interface:
// "/" answers at once with a "Suivant" link to "/lente", which comes only
// after a delay longer than the driver's fixed pauses; "/jamais" never
// comes; "/boucle" runs a script that never ends; "/telechargement" is a
// file to download; "/coupee" ends its body before its announced length;
// "/texte" is plain text; "/liens" links to a local file and a script.
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
          QByteArray type = "text/html; charset=utf-8";
          QByteArray extra;
          QByteArray body(
              "<html><body><p><a href=\"/lente\">Suivant</a>"
              " <a href=\"javascript:location.assign('/lente')\">Script</a></p></body></html>");
          if (path == "/lente") body = "<html><body><p>page lente</p></body></html>";
          if (path == "/boucle") body = "<html><body><p>boucle</p><script>for (;;) {}</script></body></html>";
          if (path == "/texte") {
            type = "text/plain; charset=utf-8";
            body = "<body>pas une page</body>";
          }
          if (path == "/telechargement") {
            type = "application/zip";
            extra = "Content-Disposition: attachment; filename=\"brochure.zip\"\r\n";
            body = "PK\x03\x04 brochure";
          }
          if (path == "/liens") {
            body =
                "<html><body><p><a href=\"file:///etc/hostname\">Fichier</a>"
                " <a href=\"javascript:void(0)\">Script</a></p></body></html>";
          }
          if (path == "/coupee") {
            // The connection drops before the announced length: the document
            // stays "loading" for ever, but the engine ends the load.
            socket->write(
                "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                "Connection: close\r\nContent-Length: 100000\r\n\r\n<html><body><p>coup");
            socket->flush();
            QTimer::singleShot(300, socket, [socket] { socket->abort(); });
            return;
          }
          const int delay = path == "/lente" ? 2500 : 0;
          QTimer::singleShot(delay, socket, [socket, body, type, extra] {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\n" + extra +
                          "Connection: close\r\nContent-Length: " + QByteArray::number(body.size()) +
                          "\r\n\r\n" + body);
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

// The fault of the PageError that `step` throws; fails the test if none.
template <typename Step>
std::optional<vantrelis::PageFault> FaultOf(Step step) {
  try {
    step();
  } catch (const vantrelis::PageError& error) {
    qInfo("%s", error.what());
    return error.problem().fault;
  }
  return std::nullopt;
}

std::string Utf8(const QUrl& url) { return url.toString(QUrl::FullyEncoded).toStdString(); }

// What a vantrelis-batch command said on its error output, and its status.
struct BatchRun {
  int status = -1;
  QString err;
};

// Runs vantrelis-batch with `arguments` in this test's environment (its
// private XDG_DATA_HOME among it) until it ends.
BatchRun RunBatch(const QStringList& arguments) {
  QProcess batch;
  batch.start(QStringLiteral(VANTRELIS_BATCH), arguments);
  BatchRun run;
  if (!batch.waitForFinished(180000) || batch.exitStatus() != QProcess::NormalExit) return run;
  run.status = batch.exitCode();
  run.err = QString::fromUtf8(batch.readAllStandardError());
  return run;
}

// Whether the page has seen a person's click or key press (its user
// activation); false too when the page does not answer.
bool PageWasUsed(QWebEnginePage* page) {
  std::optional<bool> used;
  page->runJavaScript(QStringLiteral("navigator.userActivation.hasBeenActive"),
                      [&used](const QVariant& value) { used = value.toBool(); });
  if (!QTest::qWaitFor([&used] { return used.has_value(); }, 5000)) return false;
  return *used;
}

// Clicks into the view and types a key, as a person would; again until the
// page has seen it (the view takes input only once its renderer is up).
bool UsePage(QWebEngineView& view) {
  return QTest::qWaitFor(
      [&view] {
        QWidget* target = view.focusProxy();
        if (target == nullptr) return false;
        QTest::mousePress(target, Qt::LeftButton, {}, QPoint(300, 300));
        QTest::mouseRelease(target, Qt::LeftButton, {}, QPoint(300, 300), 50);
        QTest::keyClick(target, Qt::Key_A);
        return PageWasUsed(view.page());
      },
      20000);
}

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
    QVERIFY_THROWS_EXCEPTION(PageError, m_driver.Navigate(b, "pas une adresse"));
    QVERIFY_THROWS_EXCEPTION(PageError, m_driver.Navigate(b, ""));
    QVERIFY(!b.Busy());

    // Busy from the call on, before Chromium reported anything.
    m_driver.Navigate(b, Utf8(m_server.url("/text.html")));
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

  void documentsThatAreNoHtmlPageAreNotRead() {
    for (const QUrl& url : {m_server.url("/image.svg"), m_slow.url("/texte")}) {
      m_driver.Navigate(*m_browser, Utf8(url));
      m_driver.WaitUntilReady(*m_browser);
      QCOMPARE(FaultOf([&] { m_browser->BodyOuterHtml(); }), PageFault::NotHtml);
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
    // A script's clicks are no person's: the engine refused them itself.
    QCOMPARE(refused.count(), 0);

    // A person's click on the new-tab link (the page's top 200 pixels) is
    // refused by the page; again until the renderer takes input.
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    QVERIFY(QTest::qWaitFor(
        [&] {
          if (QWidget* target = m_view->focusProxy())
            QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(50, 50));
          return refused.wait(500);
        },
        20000));
    QCOMPARE(m_browser->CurrentUrl(), page);

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

  void aPageOpeningPopUpsInALoopIsReadAsAnyOther() {
    // Each refusal costs the same however many the page asks for: its 300
    // are all refused well within one wait.
    QSignalSpy refused(m_browser.get(), &WebEngineBrowser::newWindowRefused);
    const std::string page = Utf8(m_server.url("/publicites.html"));
    m_driver.Navigate(*m_browser, page);
    const std::string html = m_driver.DocumentHtml(*m_browser);
    QVERIFY2(html.find("0 fen\xEAtres ouvertes sur 300") != std::string::npos, html.c_str());
    QCOMPARE(m_browser->CurrentUrl(), page);
    QCOMPARE(refused.count(), 0);
  }

  void dialogsNeverBlock() {
    m_driver.Navigate(*m_browser, Utf8(m_server.url("/dialogs.html")));
    const std::string html = m_driver.DocumentHtml(*m_browser);
    QVERIFY2(html.find("confirm=false prompt=null") != std::string::npos, html.c_str());
    // The page's "leave this page?" handler must not keep it, even once a
    // person has used the page (the question is only asked then).
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    QVERIFY(UsePage(*m_view));
    QVERIFY(m_driver.ClickLinkContaining(*m_browser, "Suivant"));
    const std::string next = m_driver.DocumentHtml(*m_browser);
    QVERIFY2(next.find("<p id=\"page\">second</p>") != std::string::npos, next.c_str());
  }

  void abortEndsWaits() {
    m_driver.Navigate(*m_browser, Utf8(m_slow.url("/jamais")));
    QTimer::singleShot(200, m_browser.get(), &WebEngineBrowser::abortWaits);
    QVERIFY_THROWS_EXCEPTION(BrowserAborted, m_driver.WaitUntilReady(*m_browser));
    QVERIFY(m_browser->aborted());
    QVERIFY_THROWS_EXCEPTION(BrowserAborted, m_driver.Navigate(*m_browser, Utf8(m_server.url("/text.html"))));
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
    m_browser->HandleEventsUntil([&] { return !gone.isEmpty(); });
    QCOMPARE(gone.count(), 1);
    QVERIFY(!m_browser->aborted());
    m_driver.Navigate(*m_browser, Utf8(m_server.url("/second.html")));
    const std::string html = m_driver.DocumentHtml(*m_browser);
    QVERIFY2(html.find("<p id=\"page\">second</p>") != std::string::npos, html.c_str());
  }

  void aRendererKilledDuringAWaitIsSaidAtOnce() {
    // A page whose script never ends keeps its load going: only the end of
    // its renderer can end the wait before the limit.
    m_driver.Navigate(*m_browser, Utf8(m_slow.url("/boucle")));
    connect(m_view->page(), &QWebEnginePage::loadStarted, m_browser.get(), [this] {
      QTimer::singleShot(200, m_browser.get(),
                         [this] { ::kill(static_cast<pid_t>(m_view->page()->renderProcessPid()), SIGKILL); });
    });
    QCOMPARE(FaultOf([&] { m_driver.WaitUntilReady(*m_browser); }), PageFault::RendererGone);
    QVERIFY(!m_browser->aborted());
  }

  void aLoopingScriptCostsOneWaitOnly() {
    WebEngineBrowser browser(m_view.get(), nullptr, 3000);
    m_driver.Navigate(browser, Utf8(m_slow.url("/boucle")));
    QCOMPARE(FaultOf([&] { m_driver.WaitUntilReady(browser); }), PageFault::TimedOut);
    QVERIFY(browser.Navigation().MayBeHung());
    // The stuck renderer would hold every later page of the browser.
    m_driver.Navigate(browser, Utf8(m_server.url("/second.html")));
    const std::string html = m_driver.DocumentHtml(browser);
    QVERIFY2(html.find("<p id=\"page\">second</p>") != std::string::npos, html.c_str());
  }

  void aDownloadIsNeverReadAsThePage() {
    m_driver.Navigate(*m_browser, Utf8(m_server.url("/second.html")));
    m_driver.WaitUntilReady(*m_browser);
    m_driver.Navigate(*m_browser, Utf8(m_slow.url("/telechargement")));
    QCOMPARE(FaultOf([&] { m_driver.WaitUntilReady(*m_browser); }), PageFault::Download);
    // The browser still shows the page before, which must not pass for it.
    QCOMPARE(FaultOf([&] { m_driver.DocumentHtml(*m_browser); }), PageFault::Download);
    m_driver.Navigate(*m_browser, Utf8(m_server.url("/text.html")));
    m_driver.WaitUntilReady(*m_browser);
  }

  void scriptAndFileLinksLeadNowhere() {
    QCOMPARE(FaultOf([&] { m_driver.Navigate(*m_browser, "javascript:location.assign('/lente')"); }),
             PageFault::RefusedAddress);
    QCOMPARE(FaultOf([&] { m_driver.Navigate(*m_browser, "file:///etc/hostname"); }),
             PageFault::RefusedAddress);
    const std::string page = Utf8(m_slow.url("/liens"));
    m_driver.Navigate(*m_browser, page);
    // A page's own link cannot take the browser to a local file; a script
    // link that loads nothing ends its wait all the same.
    QVERIFY(m_driver.ClickLinkContaining(*m_browser, "Fichier"));
    m_driver.WaitUntilReady(*m_browser);
    QCOMPARE(m_browser->CurrentUrl(), page);
    QVERIFY(m_driver.ClickLinkContaining(*m_browser, "Script"));
    QVERIFY(m_driver.DocumentHtml(*m_browser).find("Fichier") != std::string::npos);
    QCOMPARE(m_browser->CurrentUrl(), page);
  }

  void networkFailuresEndTheWait() {
    m_driver.Navigate(*m_browser, Utf8(m_slow.url("/coupee")));
    QCOMPARE(FaultOf([&] { m_driver.WaitUntilReady(*m_browser); }), PageFault::LoadFailed);
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();  // nothing listens there any more
    m_driver.Navigate(*m_browser, "http://127.0.0.1:" + std::to_string(port) + "/resultats.aspx");
    QCOMPARE(FaultOf([&] { m_driver.DocumentHtml(*m_browser); }), PageFault::LoadFailed);
    m_driver.Navigate(*m_browser, Utf8(m_server.url("/absente.html")));
    QCOMPARE(FaultOf([&] { m_driver.WaitUntilReady(*m_browser); }), PageFault::HttpError);
  }

  void aConsentGivenOnceHoldsForTheNextProgram() {
    // The end-to-end tests' site behind a consent wall whose cookie lasts
    // for the browser's session.
    QProcess site;
    site.start(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral(VANTRELIS_SITE_SERVER), QStringLiteral(VANTRELIS_TEST_DATA "/harvest/site")});
    QVERIFY(site.waitForReadyRead(30000));
    const QString results = QStringLiteral("http://127.0.0.1:%1/consentement/resultats.html")
                                .arg(QString::fromLatin1(site.readLine().trimmed()));
    {
      // This program keeps the site data (in the test's own XDG_DATA_HOME).
      const SiteDataLock siteData(SiteDataFolder());
      QVERIFY2(siteData.Held(), siteData.Problem().c_str());
      const SiteProfile profile(siteData);
      QWebEngineView view;
      WebEngineBrowser browser(&view);
      m_driver.Navigate(browser, results.toStdString());
      QVERIFY(m_driver.ClickLinkContaining(browser, "Tout accepter"));
      const std::string page = m_driver.DocumentHtml(browser);
      QVERIFY2(page.find("info-link") != std::string::npos, page.c_str());
      QCOMPARE(browser.CurrentUrl(), results.toStdString());
      // The consent is copied aside within a second, long before the engine
      // writes its own store: a kill would not lose it.
      const auto copied = [] {
        QFile mirror(QString::fromStdString(SiteDataFolder()) + QStringLiteral("/cookies-recentes.txt"));
        return mirror.open(QIODevice::ReadOnly) && mirror.readAll().contains("consentement=oui");
      };
      QTRY_VERIFY_WITH_TIMEOUT(copied(), 30000);

      // Meanwhile a second program gets a private profile, says so once,
      // and meets the wall.
      const BatchRun second = RunBatch({QStringLiteral("--harvest"), results});
      QVERIFY2(second.status == 0, qPrintable(second.err));
      QCOMPARE(
          second.err.count(QStringLiteral("sont utilisées par un autre programme Vantrelis : cette session "
                                          "utilise un profil privé")),
          1);
      QVERIFY2(second.err.contains(QStringLiteral("Aucune fiche trouvée")), qPrintable(second.err));
    }
    // The next program on the same site data finds the consent given.
    const BatchRun next = RunBatch({QStringLiteral("--harvest"), results});
    QVERIFY2(next.status == 0, qPrintable(next.err));
    QVERIFY2(next.err.contains(QStringLiteral("Récolte terminée : 3 contacts ajoutés")),
             qPrintable(next.err));
    QVERIFY2(!next.err.contains(QStringLiteral("profil privé")), qPrintable(next.err));

    // A consent only the copy kept (the engine killed before it wrote its
    // store) is given back at the next start.
    QCOMPARE(RunBatch({QStringLiteral("--forget-site-data")}).status, 0);
    QFile copy(QString::fromStdString(SiteDataFolder()) + QStringLiteral("/cookies-recentes.txt"));
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write("consentement=oui; domain=127.0.0.1; path=/consentement\n");
    copy.close();
    const BatchRun restored = RunBatch({QStringLiteral("--harvest"), results});
    QVERIFY2(restored.err.contains(QStringLiteral("Récolte terminée : 3 contacts ajoutés")),
             qPrintable(restored.err));
    site.closeWriteChannel();
    QVERIFY(site.waitForFinished(30000));
  }

  void viewGoneMeansAborted() {
    m_driver.Navigate(*m_browser, Utf8(m_server.url("/text.html")));
    m_view.reset();
    QVERIFY(m_browser->view() == nullptr);
    QVERIFY_THROWS_EXCEPTION(BrowserAborted, m_driver.WaitUntilReady(*m_browser));
    QVERIFY_THROWS_EXCEPTION(BrowserAborted, m_browser->CurrentUrl());
  }

 private:
  DemoServer m_server{QStringLiteral(VANTRELIS_TEST_DATA "/browser")};
  SlowServer m_slow;
  RealClock m_clock;
  BrowserDriver m_driver{m_clock};
  std::unique_ptr<QWebEngineView> m_view;
  std::unique_ptr<WebEngineBrowser> m_browser;
};

VANTRELIS_GUI_TEST_MAIN(BrowserTest)

#include "browser_test.moc"
