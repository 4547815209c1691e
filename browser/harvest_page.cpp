#include "browser/harvest_page.h"

#include <QAuthenticator>
#include <QCoreApplication>
#include <QWebEngineCertificateError>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>

namespace vantrelis {

HarvestPage::HarvestPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {
  // Log-in prompts are cancelled: an empty authenticator means "no".
  connect(this, &QWebEnginePage::authenticationRequired, this,
          [](const QUrl&, QAuthenticator* authenticator) { *authenticator = QAuthenticator(); });
  connect(
      this, &QWebEnginePage::proxyAuthenticationRequired, this,
      [](const QUrl&, QAuthenticator* authenticator, const QString&) { *authenticator = QAuthenticator(); });
  connect(this, &QWebEnginePage::certificateError, this,
          [](QWebEngineCertificateError error) { error.rejectCertificate(); });
  connect(this, &QWebEnginePage::featurePermissionRequested, this,
          [this](const QUrl& origin, Feature feature) {
            setFeaturePermission(origin, feature, PermissionDeniedByUser);
          });
  connect(this, &QWebEnginePage::fullScreenRequested, this,
          [](QWebEngineFullScreenRequest request) { request.reject(); });
  connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
          [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
}

QWebEnginePage* HarvestPage::createWindow(WebWindowType) {
  // Returning no page cancels the new window; the opener stays on its page.
  emit newWindowRefused();
  return nullptr;
}

bool HarvestPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
  // The program's own loads are its choice; everything a page starts (a
  // link, a script, a redirect) stays on the web: a page never makes the
  // tool open a local file.
  if (type == NavigationTypeTyped) return true;
  const QString scheme = url.scheme().toLower();
  const bool web = scheme == u"http" || scheme == u"https";
  const bool harmlessFrame = !isMainFrame && (scheme == u"about" || scheme == u"data" || scheme == u"blob");
  if (web || harmlessFrame) return true;
  if (isMainFrame) emit navigationRefused(url);
  return false;
}

void HarvestPage::noteRefusedDownload(const QUrl& url) { emit downloadRefused(url); }

QStringList HarvestPage::chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) { return {}; }

void HarvestPage::javaScriptAlert(const QUrl&, const QString&) {}

bool HarvestPage::javaScriptConfirm(const QUrl&, const QString& msg) {
  // WebEngine asks the "leave this page?" question of beforeunload through
  // this function with its own text. Answering "stay" would stop the
  // navigation the harvest asked for, so that question alone gets "yes".
  static const QString leaveQuestion = QCoreApplication::translate(
      "QWebEnginePage", "Are you sure you want to leave this page? Changes that you made may not be saved.");
  return msg == leaveQuestion;
}

bool HarvestPage::javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) { return false; }

void HarvestPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                           const QString&) {
  // The pages' script errors are theirs: nothing to show or log.
}

}  // namespace vantrelis
