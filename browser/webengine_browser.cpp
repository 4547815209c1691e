#include "browser/webengine_browser.h"

#include <signal.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <algorithm>
#include <memory>

#include "browser/harvest_page.h"
#include "browser/qt_text.h"
#include "browser/webengine_setup.h"
#include "harvest/browser_aborted.h"
#include "harvest/page_error.h"
#include "text/link_url.h"
#include "text/scope_guard.h"

namespace vantrelis {
namespace {

// A renderer that does not answer a trivial script this soon is stuck.
constexpr int64_t kRendererProbeMs = 1'000;
// How long the end of a stuck renderer may take to be reported.
constexpr int64_t kRendererEndMs = 5'000;

// The French texts of the browser's errors.
constexpr char kNoView[] = "WebEngineBrowser : aucune vue fournie";
constexpr char kNoPageScript[] = "Le script de page du navigateur est introuvable";
// "Adresse invalide : « <address> »"
constexpr char kInvalidAddress[] = "Adresse invalide : « ";
constexpr char kQuoteEnd[] = " »";
constexpr char kNothingLoaded[] = "Aucune page chargée : pas de contenu à lire";
// "La page <address> n'a pas de corps (body) à lire"
constexpr char kPage[] = "La page ";
constexpr char kNoBody[] = " n'a pas de corps (body) à lire";
// "<what failed> sur la page <address>", for a script that went wrong.
constexpr char kOnPage[] = " sur la page ";
constexpr char kBodyReadFailed[] = "La lecture du contenu a échoué";
constexpr char kLinkReadFailed[] = "La lecture des liens a échoué";
constexpr char kClickFailed[] = "Le clic sur un lien a échoué";
constexpr char kLinkMissing[] = "Lien introuvable";
constexpr char kPageChanged[] = " : la page a changé depuis la lecture de ses liens";

std::string FailedOnPage(const char* failure, const std::string& url) {
  return std::string(failure) + kOnPage + url;
}

std::string Utf8(const QUrl& url) { return url.toString(QUrl::FullyEncoded).toStdString(); }

// The page script, read once from the program's resources.
const QString& PageScript() {
  static const QString script = [] {
    QFile file(QStringLiteral(":/browser/harvest_page.js"));
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(file.readAll());
  }();
  return script;
}

}  // namespace

WebEngineBrowser::WebEngineBrowser(QWebEngineView* view, QObject* parent, int64_t waitLimitMs)
    : QObject(parent), m_view(view), m_navigation(m_time, waitLimitMs) {
  if (view == nullptr) throw BrowserError(kNoView);
  if (PageScript().isEmpty()) throw BrowserError(kNoPageScript);
  // The view does not own a page it is given: parent it to the view so that
  // both go together.
  auto* page = new HarvestPage(HarvestProfile(), view);
  view->setPage(page);
  m_page = page;
  m_navigation.SetListener([this] { m_wait.wake(); });
  connect(page, &HarvestPage::newWindowRefused, this, &WebEngineBrowser::newWindowRefused);
  connect(page, &QWebEnginePage::loadingChanged, this, &WebEngineBrowser::onLoadingChanged);
  connect(page, &QWebEnginePage::renderProcessTerminated, this, [this] { m_navigation.RendererGone(); });
  connect(page, &HarvestPage::navigationRefused, this,
          [this](const QUrl& url) { m_navigation.NavigationRefused(Utf8(url)); });
  connect(page, &HarvestPage::downloadRefused, this,
          [this](const QUrl& url) { m_navigation.DownloadStarted(Utf8(url)); });
  if (auto* app = QCoreApplication::instance())
    connect(app, &QCoreApplication::aboutToQuit, this, &WebEngineBrowser::abortWaits);
}

WebEngineBrowser::~WebEngineBrowser() {
  m_navigation.SetListener(nullptr);
  abortWaits();
}

QWebEngineView* WebEngineBrowser::view() const { return m_view; }

void WebEngineBrowser::abortWaits() {
  m_navigation.Abort();
  m_wait.abort();
}

HarvestPage* WebEngineBrowser::livePage() const {
  if (m_navigation.Aborted()) throw BrowserAborted();
  // The view (and its page) went with the window: nothing left to wait for.
  if (m_page.isNull()) throw BrowserAborted();
  return m_page.data();
}

std::string WebEngineBrowser::describeUrl() const {
  if (m_page.isNull() || m_page->url().isEmpty()) return std::string();
  return Utf8(m_page->url());
}

void WebEngineBrowser::onLoadingChanged(const QWebEngineLoadingInfo& info) {
  if (m_recordStarts) m_startedUrls.push_back(info.url());
  const std::string url = Utf8(info.url());
  if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
    m_navigation.LoadStarted(url);
    return;
  }
  LoadReport report{url, LoadEnd::Succeeded, 0, {}};
  if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) report.httpStatus = info.errorCode();
  switch (info.status()) {
    case QWebEngineLoadingInfo::LoadSucceededStatus: report.end = LoadEnd::Succeeded; break;
    case QWebEngineLoadingInfo::LoadStoppedStatus: report.end = LoadEnd::Stopped; break;
    default:
      report.end = LoadEnd::Failed;
      // The status domain's text is an error page's mark-up, not a message.
      if (info.errorDomain() != QWebEngineLoadingInfo::HttpStatusCodeDomain)
        report.errorText = info.errorString().isEmpty() ? "code " + std::to_string(info.errorCode())
                                                        : info.errorString().toStdString();
      break;
  }
  m_navigation.LoadEnded(report);
}

void WebEngineBrowser::Navigate(const std::string& url) {
  HarvestPage* page = livePage();
  if (!m_navigation.Request(url)) throw PageError(*m_navigation.Problem());
  const QUrl target(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())), QUrl::TolerantMode);
  if (url.empty() || !target.isValid() || target.isRelative()) {
    m_navigation.Refuse(url, kInvalidAddress + url + kQuoteEnd);
    throw PageError(*m_navigation.Problem());
  }
  if (m_navigation.MayBeHung()) {
    replaceStuckRenderer();
    // The old renderer's end was told after the request: ask again.
    m_navigation.Request(url);
  }
  page->load(target);
}

void WebEngineBrowser::HandleEventsUntil(const std::function<bool()>& done) { waitUntil(done, std::nullopt); }

void WebEngineBrowser::waitUntil(const std::function<bool()>& done, std::optional<int64_t> alsoAt) {
  livePage();
  const bool finished = m_wait.run(
      done,
      [this, alsoAt] {
        std::optional<int64_t> wake = m_navigation.NextWake();
        if (alsoAt && (!wake || *alsoAt < *wake)) wake = alsoAt;
        return wake;
      },
      [this] { return m_time.NowMilliseconds(); });
  if (!finished) {
    // The application quits: everything that waits ends.
    m_navigation.Abort();
    throw BrowserAborted();
  }
  livePage();
}

void WebEngineBrowser::replaceStuckRenderer() {
  HarvestPage* page = livePage();
  const uint64_t probe = m_navigation.ScriptSent();
  QPointer<WebEngineBrowser> self(this);
  page->runJavaScript(QStringLiteral("1"), QWebEngineScript::ApplicationWorld,
                      [self, probe](const QVariant&) {
                        if (self) self->m_navigation.ScriptAnswered(probe);
                      });
  const int64_t answerBy = m_time.NowMilliseconds() + kRendererProbeMs;
  waitUntil(
      [&] {
        return m_navigation.UpdateScript(probe) != ScriptState::Pending ||
               m_time.NowMilliseconds() >= answerBy;
      },
      answerBy);
  const ScriptState answer = m_navigation.UpdateScript(probe);
  m_navigation.ForgetScript(probe);
  const qint64 pid = livePage()->renderProcessPid();
  if (answer == ScriptState::Answered || answer == ScriptState::RendererGone || pid <= 0) return;
  // Still no answer: the renderer is ours, and stuck; end it and wait
  // (briefly) until the engine has seen it go.
  ::kill(static_cast<pid_t>(pid), SIGKILL);
  const uint64_t gone = m_navigation.ScriptSent();
  const int64_t endBy = m_time.NowMilliseconds() + kRendererEndMs;
  waitUntil(
      [&] {
        return m_navigation.UpdateScript(gone) != ScriptState::Pending || m_time.NowMilliseconds() >= endBy;
      },
      endBy);
  m_navigation.ForgetScript(gone);
}

QVariant WebEngineBrowser::evaluate(const QString& call) {
  HarvestPage* page = livePage();
  struct Answer {
    QVariant value;
  };
  auto answer = std::make_shared<Answer>();
  const uint64_t ticket = m_navigation.ScriptSent();
  QPointer<WebEngineBrowser> self(this);
  page->runJavaScript(PageScript() + QLatin1Char('\n') + call, QWebEngineScript::ApplicationWorld,
                      [self, answer, ticket](const QVariant& value) {
                        answer->value = value;
                        if (self) self->m_navigation.ScriptAnswered(ticket);
                      });
  HandleEventsUntil([&] { return m_navigation.UpdateScript(ticket) != ScriptState::Pending; });
  const ScriptState state = m_navigation.UpdateScript(ticket);
  m_navigation.ForgetScript(ticket);
  switch (state) {
    case ScriptState::Answered: return answer->value;
    case ScriptState::NoAnswer:
      throw PageError(PageProblem{PageFault::NoAnswer, describeUrl(),
                                  std::to_string((m_navigation.WaitLimit() + 999) / 1000)});
    case ScriptState::RendererGone: throw PageError(PageProblem{PageFault::RendererGone, describeUrl(), {}});
    case ScriptState::Pending:
    case ScriptState::Aborted: break;
  }
  throw BrowserAborted();
}

std::u16string WebEngineBrowser::BodyOuterHtml() {
  HarvestPage* page = livePage();
  if (page->url().isEmpty()) throw BrowserError(kNothingLoaded);
  const QVariantList parts = evaluate(QStringLiteral("vantrelisPage.readBody()")).toList();
  if (parts.isEmpty()) throw BrowserError(FailedOnPage(kBodyReadFailed, describeUrl()));
  const QString type = parts.at(0).toString();
  if (!IsHtmlContentType(type.toStdString()))
    throw PageError(PageProblem{PageFault::NotHtml, describeUrl(), type.toStdString()});
  if (parts.size() < 3 || parts.at(1).toString() != QLatin1String("body"))
    throw BrowserError(kPage + describeUrl() + kNoBody);
  return QStringToUtf16(parts.at(2).toString());
}

std::vector<std::u16string> WebEngineBrowser::LinkInnerHtmls() {
  HarvestPage* page = livePage();
  if (page->url().isEmpty()) return {};
  const QVariant answer = evaluate(QStringLiteral("vantrelisPage.linkInnerHtmls()"));
  if (answer.typeId() != QMetaType::QVariantList)
    throw BrowserError(FailedOnPage(kLinkReadFailed, describeUrl()));
  std::vector<std::u16string> links;
  const QVariantList items = answer.toList();
  links.reserve(static_cast<size_t>(items.size()));
  for (const QVariant& item : items) links.push_back(QStringToUtf16(item.toString()));
  return links;
}

void WebEngineBrowser::ClickLinks(const std::vector<int32_t>& indices) {
  livePage();
  if (indices.empty()) return;
  QJsonArray list;
  for (int32_t index : indices) list.append(index);
  const QString call = QStringLiteral("vantrelisPage.clickLinks(") +
                       QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact)) +
                       QLatin1Char(')');
  // Chromium may report a click's load before the script's answer arrives:
  // note the loads reported meanwhile.
  m_startedUrls.clear();
  QVariant answer;
  {
    m_recordStarts = true;
    const ScopeGuard stopRecording([this] { m_recordStarts = false; });
    answer = evaluate(call);
  }
  const QVariantMap result = answer.toMap();
  if (result.isEmpty()) throw BrowserError(FailedOnPage(kClickFailed, describeUrl()));
  const QString target = result.value(QStringLiteral("target")).toString();
  if (!target.isEmpty()) {
    // The load a click starts is reported later; until then the browser must
    // already count as busy, or a wait would read the page that was clicked.
    const std::string targetUrl = Utf8(QUrl(target));
    const bool reported = std::any_of(m_startedUrls.begin(), m_startedUrls.end(),
                                      [&](const QUrl& url) { return SameAddress(Utf8(url), targetUrl); });
    if (!reported) m_navigation.ClickRequested(targetUrl);  // once reported, the tracker follows it
  } else if (result.value(QStringLiteral("uncertain")).toBool() && m_startedUrls.empty()) {
    m_navigation.ClickMayLoad();
  }
  // Checked last: the links that were there have been clicked all the same.
  if (result.value(QStringLiteral("missing")).toInt() > 0)
    throw BrowserError(FailedOnPage(kLinkMissing, describeUrl()) + kPageChanged);
}

std::string WebEngineBrowser::CurrentUrl() {
  HarvestPage* page = livePage();
  if (page->url().isEmpty()) return {};
  return Utf8(page->url());
}

}  // namespace vantrelis
