#include "pushback_site.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QMutexLocker>

namespace vantrelis::test_support {
namespace {

constexpr char kHtml[] = "text/html; charset=utf-8";
constexpr char kCheckCookie[] = "pushback-verifie";

QString ModePath(PushbackSite::Mode mode) {
  switch (mode) {
    case PushbackSite::Mode::Plain: return QStringLiteral("/normal");
    case PushbackSite::Mode::RateLimit: return QStringLiteral("/limite");
    case PushbackSite::Mode::Check: return QStringLiteral("/controle");
    case PushbackSite::Mode::NewLayout: return QStringLiteral("/mise-en-page");
  }
  return {};
}

QByteArray Page(const QString& title, const QString& body) {
  return QStringLiteral(
             "<!DOCTYPE html>\n<html lang=\"fr\"><head><meta charset=\"utf-8\"><title>%1</title></head>"
             "<body>%2</body></html>\n")
      .arg(title, body)
      .toUtf8();
}

QByteArray ResultPage() {
  QString items;
  for (int n = 1; n <= PushbackSite::kListings; ++n) {
    items += QStringLiteral(
                 "<li><a class=\"info-link silver-button\" href=\"fiche/entreprise-%1.html\">Voir la "
                 "fiche</a></li>\n")
                 .arg(n);
  }
  return Page(QStringLiteral("Résultats"), QStringLiteral("<ol>\n") + items + QStringLiteral("</ol>"));
}

QByteArray ListingPage(int n, bool markers) {
  const QString name = PushbackSite::name(n);
  const QString title = markers ? QStringLiteral("<h1 class=\"n fn\">%1</h1>").arg(name)
                                : QStringLiteral("<h1 class=\"raison-sociale\">%1</h1>").arg(name);
  return Page(name, QStringLiteral("<div class=\"vcard\">%1<div class=\"adr\"><span class=\"street-address\">"
                                   "Rue du Marché %2</span><br><span class=\"postal-code\">1003</span> "
                                   "<span class=\"locality\">Lausanne</span></div></div>")
                        .arg(title)
                        .arg(n));
}

// The check a site puts before its listings: a form that, once sent, leaves
// the cookie that lets listings through.
QByteArray CheckPage(const QString& modePath) {
  return Page(
      QStringLiteral("Vérification"),
      QStringLiteral("<h1>Vérification</h1><p>Confirmez que vous n'êtes pas un robot.</p>"
                     "<form method=\"post\" action=\"%1/verifier\"><button type=\"submit\">Je ne suis "
                     "pas un robot</button></form>")
          .arg(modePath));
}

bool HasCookie(const QHttpServerRequest& request, const QByteArray& name) {
  for (const auto& [key, value] : request.headers()) {
    if (key.compare("cookie", Qt::CaseInsensitive) != 0) continue;
    for (const QByteArray& cookie : value.split(';'))
      if (cookie.trimmed().startsWith(name + '=')) return true;
  }
  return false;
}

class PushbackServer : public QAbstractHttpServer {
 public:
  explicit PushbackServer(PushbackSite::Counts& counts) : m_counts(counts) {}

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
    QHttpServerResponder responder = makeResponder(request, socket);
    const QString path = request.url().path();
    int asked = 0;
    {
      const QMutexLocker lock(&m_counts.mutex);
      asked = ++m_counts.byPath[path];
    }
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QString modePath = parts.isEmpty() ? QString() : QLatin1Char('/') + parts.constFirst();
    const QString rest = parts.mid(1).join(QLatin1Char('/'));
    if (rest == u"resultats.html") {
      responder.write(ResultPage(), kHtml);
      return true;
    }
    if (modePath == ModePath(PushbackSite::Mode::Check) && rest == u"verifier") {
      const QByteArray cookie = QByteArray(kCheckCookie) + "=1; Path=" + modePath.toUtf8();
      responder.write(Page(QStringLiteral("Merci"), QStringLiteral("<p>Vérification faite.</p>")),
                      {{"Content-Type", kHtml}, {"Set-Cookie", cookie}});
      return true;
    }
    bool numbered = false;
    const int n = rest.startsWith(u"fiche/entreprise-") && rest.endsWith(u".html")
                      ? rest.mid(17, rest.size() - 17 - 5).toInt(&numbered)
                      : 0;
    if (!numbered || n < 1 || n > PushbackSite::kListings) {
      responder.write(Page(QStringLiteral("Page introuvable"), QStringLiteral("<p>Introuvable.</p>")), kHtml,
                      QHttpServerResponder::StatusCode::NotFound);
      return true;
    }
    if (modePath == ModePath(PushbackSite::Mode::RateLimit) && n == 2 && asked <= 2) {
      responder.write(Page(QStringLiteral("Trop de requêtes"), QStringLiteral("<p>Ralentissez.</p>")), kHtml,
                      QHttpServerResponder::StatusCode::TooManyRequests);
      return true;
    }
    if (modePath == ModePath(PushbackSite::Mode::Check) && n >= 4 && !HasCookie(request, kCheckCookie)) {
      responder.write(CheckPage(modePath), kHtml, QHttpServerResponder::StatusCode::Forbidden);
      return true;
    }
    responder.write(ListingPage(n, modePath != ModePath(PushbackSite::Mode::NewLayout)), kHtml);
    return true;
  }

  void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

 private:
  PushbackSite::Counts& m_counts;
};

}  // namespace

PushbackSite::PushbackSite() = default;

PushbackSite::~PushbackSite() = default;

bool PushbackSite::start() {
  if (m_server) return m_port != 0;
  m_server = std::make_unique<LoopbackServer>(std::make_unique<PushbackServer>(m_counts),
                                              QStringLiteral("PushbackSite"));
  m_port = m_server->listen(0);
  return m_port != 0;
}

QUrl PushbackSite::results(Mode mode) const {
  return QUrl(QStringLiteral("http://127.0.0.1:%1%2/resultats.html").arg(m_port).arg(ModePath(mode)));
}

QUrl PushbackSite::listing(Mode mode, int n) const {
  return results(mode).resolved(QUrl(QStringLiteral("fiche/entreprise-%1.html").arg(n)));
}

QString PushbackSite::name(int n) { return QStringLiteral("Entreprise numéro %1").arg(n); }

int PushbackSite::requests(const QUrl& url) const {
  const QMutexLocker lock(&m_counts.mutex);
  return m_counts.byPath.value(url.path());
}

}  // namespace vantrelis::test_support
