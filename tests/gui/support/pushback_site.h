// A small directory on the loopback interface that pushes back, for the
// window's harvest tests: one result page of kListings listings per mode,
// whose listing pages answer as a directory that limits requests, asks for
// a check or changed its layout would.
#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <QUrl>

#include <memory>

#include "app/loopback_server.h"

namespace vantrelis::test_support {

class PushbackSite {
 public:
  // How the listings of a result page answer; each mode has its own
  // result page, /<mode>/resultats.html, and listing pages,
  // /<mode>/fiche/entreprise-<n>.html.
  enum class Mode {
    Plain,      // every listing answers with its page
    RateLimit,  // listing 2 answers 429 twice, then with its page
    // Listings 4 on answer 403 with a check page until its form is sent,
    // which leaves a cookie for the site's paths of this mode.
    Check,
    NewLayout,  // every listing page has lost its name markers
  };
  static constexpr int kListings = 6;

  PushbackSite();
  ~PushbackSite();
  PushbackSite(const PushbackSite&) = delete;
  PushbackSite& operator=(const PushbackSite&) = delete;

  // Starts listening on a free port of 127.0.0.1; false if it cannot.
  bool start();
  QUrl results(Mode mode) const;
  // Listing `n` (from 1) of `mode`'s result page.
  QUrl listing(Mode mode, int n) const;
  // The name listing `n` shows.
  static QString name(int n);
  // How many requests the path of `url` got so far.
  int requests(const QUrl& url) const;

  // What the server's thread counts (shared with it).
  struct Counts {
    mutable QMutex mutex;
    QHash<QString, int> byPath;
  };

 private:
  Counts m_counts;
  quint16 m_port = 0;
  std::unique_ptr<LoopbackServer> m_server;
};

}  // namespace vantrelis::test_support
