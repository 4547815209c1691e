#include "app/site_profile.h"

#include <QFile>

#include "app/messages.h"
#include "browser/webengine_setup.h"

namespace vantrelis {

SiteProfile::SiteProfile(const SiteDataLock& siteData) : m_siteData(siteData) {
  if (kept()) KeepSiteDataIn(QFile::decodeName(QByteArray::fromStdString(m_siteData.Folder())));
}

SiteProfile::~SiteProfile() {
  if (kept()) ReleaseKeptSiteData();
}

QString SiteProfile::privateSessionNotice() const {
  if (kept()) return {};
  return QString::fromStdString(m_siteData.Problem()) + QString::fromUtf8(messages::kPrivateProfile);
}

}  // namespace vantrelis
