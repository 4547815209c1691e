// Process-wide preparation of Qt WebEngine and the browsing profile the
// harvest browsers share.
#pragma once

class QWebEngineProfile;

namespace vantrelis {

// Call before the QApplication exists: lets Chromium start as root (its
// sandbox refuses to), shares OpenGL contexts and turns the GPU off where
// there is no display.
void PrepareWebEngineEnvironment();

// The off-the-record profile of every harvest browser: French accepted
// language, downloads refused. Created on first use, lives until the
// application object goes.
QWebEngineProfile* HarvestProfile();

}  // namespace vantrelis
