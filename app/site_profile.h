// The browser profile of one run of a program: the site data folder that
// the window and vantrelis-batch share, or a private profile when another
// program has it.
#pragma once

#include <QString>

#include "batch/site_data.h"

namespace vantrelis {

class SiteProfile {
 public:
  // Makes the harvest browsers made from now on keep their site data in the
  // folder of `siteData` when that lock is held (see KeepSiteDataIn), else
  // gives them a private profile. The lock must be taken before the
  // application object exists and freed after it is gone: the engine writes
  // the last of the folder's files while it shuts down.
  explicit SiteProfile(const SiteDataLock& siteData);
  // Deletes the kept profile, which writes its cookies to the folder; every
  // page on it must be gone.
  ~SiteProfile();
  SiteProfile(const SiteProfile&) = delete;
  SiteProfile& operator=(const SiteProfile&) = delete;

  // True when the browsers keep their site data in the folder.
  bool kept() const { return m_siteData.Held(); }
  // The sentence that tells the user why this run's profile is private
  // (French, naming the folder, without the program's name); empty when
  // the site data is kept.
  QString privateSessionNotice() const;

 private:
  const SiteDataLock& m_siteData;
};

}  // namespace vantrelis
