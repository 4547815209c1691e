#include "browser/webengine_browser.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <algorithm>
#include <memory>

#include "browser/harvest_page.h"
#include "browser/webengine_setup.h"

namespace {

using vantrelis::BrowserAborted;
using vantrelis::BrowserError;

// Longest wait for a script's answer; a healthy page answers in milliseconds.
constexpr int kScriptAnswerLimitMs = 30'000;
// A navigation asked for but never reported as started stops counting as
// busy after this long (a link whose click navigated nowhere after all)...
constexpr qint64 kNoStartLimitMs = 10'000;
// ...or after this long when some other load started meanwhile.
constexpr qint64 kOtherStartLimitMs = 2'000;
// A click whose effect only the page's scripts know (a "javascript:" link, a
// handler that cancelled the default action) may load a page or not: it
// counts as busy for this long of waiting, unless a load is reported sooner.
constexpr qint64 kPossibleLoadLimitMs = 500;
// A question of the ready state left unanswered this long counts as
// "loading": the waits ask again rather than hang on one answer that a
// document being replaced may never give.
constexpr int kReadyStateAnswerLimitMs = 5'000;
// The pause of ProcessPendingMessages when no event is waiting.
constexpr int kIdleWakeMs = 10;

std::u16string ToU16(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                        static_cast<size_t>(text.size()));
}

// Two addresses name the same document (fragments and a lone trailing slash
// aside).
bool SameDocument(const QUrl& a, const QUrl& b) {
  const auto options = QUrl::RemoveFragment | QUrl::StripTrailingSlash | QUrl::NormalizePathSegments;
  return a.adjusted(options).toString(QUrl::FullyEncoded)
             .compare(b.adjusted(options).toString(QUrl::FullyEncoded), Qt::CaseInsensitive) == 0;
}

std::string Describe(const QUrl& url) {
  return url.isEmpty() ? std::string("(aucune page)") : url.toDisplayString().toStdString();
}

// Clicks document.links[i] for each index, in order, in one go: no event
// is handled between the clicks, so every click lands on the links of the
// page they were chosen on. Answers how many links were clicked and the
// address the last click that navigates this same page will load ("" when
// none does: same-page anchors, scripts, new windows, downloads, other
// protocols, clicks a page handler cancelled).
const char kClickScript[] = R"JS((function (indices) {
  var links = Array.prototype.slice.call(document.links);
  var here = String(location.href).split('#')[0];
  var base = document.querySelector('base[target]');
  var baseTarget = base ? base.getAttribute('target') : '';
  var result = { clicked: 0, missing: 0, target: '', uncertain: false };
  indices.forEach(function (i) {
    var a = links[i];
    if (!a) { result.missing++; return; }
    var seen = null;
    var spy = function (e) { if (!seen) seen = e; };
    window.addEventListener('click', spy, true);
    try { a.click(); } finally { window.removeEventListener('click', spy, true); }
    result.clicked++;
    if (seen && seen.defaultPrevented) { result.uncertain = true; return; }
    var href = a.href;
    if (typeof href !== 'string' || href === '') return;
    if (String(a.protocol).toLowerCase() === 'javascript:') { result.uncertain = true; return; }
    var target = (a.hasAttribute('target') ? a.getAttribute('target') : baseTarget) || '';
    target = target.toLowerCase();
    if (target !== '' && target !== '_self' && target !== '_top' && target !== '_parent') return;
    if (a.hasAttribute('download')) return;
    var protocol = String(a.protocol).toLowerCase();
    if (protocol !== 'http:' && protocol !== 'https:' && protocol !== 'file:') return;
    if (href.indexOf('#') >= 0 && href.split('#')[0] === here) return;
    result.target = href;
  });
  return result;
}))JS";

}  // namespace

WebEngineBrowser::WebEngineBrowser(QWebEngineView* view, QObject* parent)
    : QObject(parent), m_view(view) {
  if (view == nullptr) throw BrowserError("WebEngineBrowser : aucune vue fournie");
  // The view does not own a page it is given: parent it to the view so that
  // both go together.
  auto* page = new HarvestPage(HarvestProfile(), view);
  view->setPage(page);
  m_page = page;
  connect(page, &HarvestPage::newWindowRefused, this, &WebEngineBrowser::newWindowRefused);
  connect(page, &QWebEnginePage::loadingChanged, this, &WebEngineBrowser::onLoadingChanged);
  connect(page, &QWebEnginePage::renderProcessTerminated, this, [this] {
    // Answers of the dead renderer never come: end the waits for them.
    m_rendererGone = true;
    m_awaitingStart = false;
    for (QEventLoop* loop : m_waits) loop->quit();
  });
  if (auto* app = QCoreApplication::instance())
    connect(app, &QCoreApplication::aboutToQuit, this, &WebEngineBrowser::abortWaits);
}

WebEngineBrowser::~WebEngineBrowser() {
  m_aborted = true;
  for (QEventLoop* loop : m_waits) loop->quit();
  for (QEventLoop* loop : m_idleWaits) loop->quit();
}

QWebEngineView* WebEngineBrowser::view() const { return m_view; }

void WebEngineBrowser::abortWaits() {
  m_aborted = true;
  for (QEventLoop* loop : m_waits) loop->quit();
  for (QEventLoop* loop : m_idleWaits) loop->quit();
}

void WebEngineBrowser::throwIfAborted() const {
  if (m_aborted) throw BrowserAborted();
}

HarvestPage* WebEngineBrowser::livePage() const {
  throwIfAborted();
  // The view (and its page) went with the window: nothing left to wait for.
  if (m_page.isNull()) throw BrowserAborted();
  return m_page.data();
}

void WebEngineBrowser::onLoadingChanged(const QWebEngineLoadingInfo& info) {
  // Chromium may fold a load that replaced another into one report: the
  // later load's start can be missing, only its end is told. Any report on
  // the awaited address therefore ends the waiting for its start.
  if (m_recordStarts) m_startedUrls.push_back(info.url());
  if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
    m_everLoaded = true;
    m_rendererGone = false;
  }
  if (!m_awaitingStart) return;
  m_sawAnyStart = true;
  if (m_expectedUrl.isEmpty() || SameDocument(info.url(), m_expectedUrl)) m_awaitingStart = false;
}

void WebEngineBrowser::expectNavigation(const QUrl& target) {
  m_awaitingStart = true;
  m_possibleLoadOnly = false;
  m_sawAnyStart = false;
  m_expectedUrl = target;
  m_sinceRequest.start();
}

void WebEngineBrowser::Navigate(const std::string& url) {
  HarvestPage* page = livePage();
  const QUrl target(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())),
                    QUrl::TolerantMode);
  if (url.empty() || !target.isValid() || target.isRelative())
    throw BrowserError("Adresse invalide : « " + url + " »");
  const QString scheme = target.scheme().toLower();
  if (scheme != u"http" && scheme != u"https" && scheme != u"file" && scheme != u"about" &&
      scheme != u"qrc" && scheme != u"data")
    throw BrowserError("Adresse non prise en charge par le navigateur : « " + url + " »");
  // A jump within the loaded document starts no load: nothing to wait for.
  const bool sameDocument = target.hasFragment() && SameDocument(target, page->url());
  if (!sameDocument) expectNavigation(target);
  m_everLoaded = true;
  page->load(target);
}

bool WebEngineBrowser::Busy() {
  HarvestPage* page = livePage();
  if (m_awaitingStart && m_possibleLoadOnly) {
    // Counted from the first question after the click: the driver's fixed
    // pauses, during which nothing can be reported, do not use it up.
    if (!m_possibleLoadClock.isValid())
      m_possibleLoadClock.start();
    else if (m_possibleLoadClock.elapsed() > kPossibleLoadLimitMs)
      m_awaitingStart = false;
  } else if (m_awaitingStart) {
    const qint64 waited = m_sinceRequest.elapsed();
    if (waited > kNoStartLimitMs || (m_sawAnyStart && waited > kOtherStartLimitMs))
      m_awaitingStart = false;
  }
  return m_awaitingStart || page->isLoading();
}

QVariant WebEngineBrowser::evaluate(const QString& script, int timeoutMs, bool* timedOut) {
  HarvestPage* page = livePage();
  if (timedOut != nullptr) *timedOut = false;
  struct Answer {
    bool done = false;
    QVariant value;
  };
  auto answer = std::make_shared<Answer>();
  QEventLoop loop;
  QPointer<QEventLoop> loopRef(&loop);
  bool expired = false;
  QTimer limit;
  limit.setSingleShot(true);
  connect(&limit, &QTimer::timeout, &loop, [&] {
    expired = true;
    loop.quit();
  });
  if (m_rendererGone)
    throw BrowserError("Le moteur du navigateur s'est arrêté sur la page " + Describe(page->url()));
  page->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                      [answer, loopRef](const QVariant& value) {
                        answer->done = true;
                        answer->value = value;
                        if (loopRef) loopRef->quit();
                      });
  if (!answer->done) {
    limit.start(timeoutMs);
    m_waits.push_back(&loop);
    loop.exec();
    m_waits.erase(std::find(m_waits.begin(), m_waits.end(), &loop));
  }
  throwIfAborted();
  if (!answer->done) {
    if (m_page.isNull()) throw BrowserAborted();
    if (m_rendererGone)
      throw BrowserError("Le moteur du navigateur s'est arrêté sur la page " + Describe(m_page->url()));
    if (!expired) {
      // The loop ended with neither an answer nor its time limit: the
      // application is quitting.
      m_aborted = true;
      throw BrowserAborted();
    }
    if (timedOut != nullptr) *timedOut = true;
    return {};
  }
  return answer->value;
}

int32_t WebEngineBrowser::ReadyState() {
  HarvestPage* page = livePage();
  if (!m_everLoaded) return 0;
  bool timedOut = false;
  QVariant state;
  try {
    state = evaluate(QStringLiteral("document.readyState"), kReadyStateAnswerLimitMs, &timedOut);
  } catch (const BrowserError&) {
    return 0;  // the renderer went: no document any more
  }
  if (timedOut || !state.isValid()) return 1;  // between two documents
  const QString name = state.toString();
  if (name == QLatin1String("complete")) return 4;
  if (name == QLatin1String("interactive")) return 3;
  if (name == QLatin1String("loading")) return 1;
  (void)page;
  return 0;
}

std::u16string WebEngineBrowser::BodyOuterHtml() {
  HarvestPage* page = livePage();
  if (!m_everLoaded) throw BrowserError("Aucune page chargée : pas de contenu à lire");
  bool timedOut = false;
  const QVariant answer = evaluate(
      QStringLiteral("(function () { var b = document.body;"
                     " return b ? ['body', b.outerHTML] : ['none']; })()"),
      kScriptAnswerLimitMs, &timedOut);
  if (timedOut)
    throw BrowserError("Le navigateur n'a pas répondu à la lecture de la page " +
                       Describe(page->url()));
  const QVariantList parts = answer.toList();
  if (parts.isEmpty())
    throw BrowserError("La lecture du contenu a échoué sur la page " + Describe(page->url()));
  if (parts.size() < 2 || parts.at(0).toString() != QLatin1String("body"))
    throw BrowserError("La page " + Describe(page->url()) + " n'a pas de corps (body) à lire");
  return ToU16(parts.at(1).toString());
}

std::vector<std::u16string> WebEngineBrowser::LinkInnerHtmls() {
  HarvestPage* page = livePage();
  if (!m_everLoaded) return {};
  bool timedOut = false;
  const QVariant answer = evaluate(
      QStringLiteral("Array.prototype.map.call(document.links,"
                     " function (a) { return String(a.innerHTML); })"),
      kScriptAnswerLimitMs, &timedOut);
  if (timedOut)
    throw BrowserError("Le navigateur n'a pas répondu à la lecture des liens de la page " +
                       Describe(page->url()));
  if (answer.typeId() != QMetaType::QVariantList)
    throw BrowserError("La lecture des liens a échoué sur la page " + Describe(page->url()));
  std::vector<std::u16string> links;
  const QVariantList items = answer.toList();
  links.reserve(static_cast<size_t>(items.size()));
  for (const QVariant& item : items) links.push_back(ToU16(item.toString()));
  return links;
}

void WebEngineBrowser::ClickLinks(const std::vector<int32_t>& indices) {
  HarvestPage* page = livePage();
  if (indices.empty()) return;
  QJsonArray list;
  for (int32_t index : indices) list.append(index);
  const QString script = QString::fromUtf8(kClickScript) + QLatin1Char('(') +
                         QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact)) +
                         QLatin1Char(')');
  bool timedOut = false;
  // Chromium may report a click's load before the script's answer arrives:
  // note the loads reported meanwhile.
  m_startedUrls.clear();
  m_recordStarts = true;
  QVariant answer;
  try {
    answer = evaluate(script, kScriptAnswerLimitMs, &timedOut);
  } catch (...) {
    m_recordStarts = false;
    throw;
  }
  m_recordStarts = false;
  if (timedOut)
    throw BrowserError("Le navigateur n'a pas répondu au clic sur la page " + Describe(page->url()));
  const QVariantMap result = answer.toMap();
  if (result.isEmpty())
    throw BrowserError("Le clic sur un lien a échoué sur la page " + Describe(page->url()));
  const QString target = result.value(QStringLiteral("target")).toString();
  if (!target.isEmpty()) {
    // The load a click starts is reported later; until then the browser must
    // already count as busy, or a wait would read the page that was clicked.
    const QUrl targetUrl(target);
    const bool reported = std::any_of(m_startedUrls.begin(), m_startedUrls.end(),
                                      [&](const QUrl& url) { return SameDocument(url, targetUrl); });
    if (!reported) expectNavigation(targetUrl);  // once reported, isLoading() covers the rest
  } else if (result.value(QStringLiteral("uncertain")).toBool() && m_startedUrls.empty()) {
    expectNavigation(QUrl());
    m_possibleLoadOnly = true;
    m_possibleLoadClock.invalidate();
  }
  // Checked last: the links that were there have been clicked all the same.
  if (result.value(QStringLiteral("missing")).toInt() > 0)
    throw BrowserError("Lien introuvable sur la page " + Describe(page->url()) +
                       " : la page a changé depuis la lecture de ses liens");
}

std::string WebEngineBrowser::CurrentUrl() {
  HarvestPage* page = livePage();
  if (!m_everLoaded) return {};
  return page->url().toString(QUrl::FullyEncoded).toStdString();
}

void WebEngineBrowser::ProcessPendingMessages() {
  throwIfAborted();
  // Handles what is waiting, then sleeps in the event loop until the next
  // event or a short timer: a waiting loop over this costs next to nothing.
  QEventLoop loop;
  bool woke = false;
  QTimer::singleShot(kIdleWakeMs, &loop, [&] {
    woke = true;
    loop.quit();
  });
  m_idleWaits.push_back(&loop);
  loop.exec();
  m_idleWaits.erase(std::find(m_idleWaits.begin(), m_idleWaits.end(), &loop));
  throwIfAborted();
  if (!woke) {
    // Left early without abortWaits(): the application is quitting.
    m_aborted = true;
    throw BrowserAborted();
  }
}
