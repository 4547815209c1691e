// Process-wide preparation of Qt WebEngine and the browsing profile the
// harvest browsers share.
#pragma once

#include <QString>

class QWebEngineProfile;

namespace vantrelis {

// Call before the QApplication exists: lets Chromium start as root (its
// sandbox refuses to), shares OpenGL contexts and turns the GPU off where
// there is no display.
void PrepareWebEngineEnvironment();

// The most the HTTP cache of the kept site data holds on disk.
inline constexpr int kSiteDataCacheBytes = 64 * 1024 * 1024;

// The profile of every harvest browser made from now on: the one that
// KeepSiteDataIn() made, else a private one (off the record: it keeps
// nothing), made on first use and living until the application object
// goes. Both accept French first, refuse downloads, and refuse the new
// windows a script opens without a person's click.
QWebEngineProfile* HarvestProfile();

// Makes the harvest browsers made from now on keep the sites' data in
// `folder`: cookies (those of the session too), the sites' storage, an HTTP
// cache of kSiteDataCacheBytes at most. The folder must exist and be this
// program's alone (see SiteDataLock) until ReleaseKeptSiteData().
void KeepSiteDataIn(const QString& folder);

// Deletes the profile KeepSiteDataIn() made, which writes what it holds to
// the folder; every page on it must be gone. Browsers made afterwards get a
// private profile.
void ReleaseKeptSiteData();

}  // namespace vantrelis
