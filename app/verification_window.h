// The verification window: the page on which a site stopped a harvest, in a
// view of its own on the harvest's browser profile, so that a check the user
// passes there (its cookie) counts for the harvest when it resumes.
#pragma once

#include <QDialog>
#include <QSize>

#include "app/dialogs.h"
#include "harvest/harvest_run.h"

class QPushButton;
class QWebEngineView;

namespace vantrelis {

// What the verification window shows for a run that `block` stopped: its
// page, the French message of the block and what the user can do.
VerificationRequest VerificationRequestFor(const RunBlock& block);

// A modal dialog titled "Vérification demandée par le site": the text of the
// request over a browser view of its page, then "Reprendre" (accepts) and
// "Arrêter" (rejects, as closing it does).
class VerificationWindow : public QDialog {
  Q_OBJECT
 public:
  // Opens `request.page` in the window's view, on HarvestProfile().
  explicit VerificationWindow(const VerificationRequest& request, QWidget* parent = nullptr);
  ~VerificationWindow() override;

  QWebEngineView* view() const { return m_view; }
  QPushButton* resumeButton() const { return m_resume; }
  QPushButton* stopButton() const { return m_stop; }

  // Room for a captcha and the page around it (less on a smaller screen).
  static constexpr QSize kSize{1000, 750};

 private:
  QWebEngineView* m_view = nullptr;
  QPushButton* m_resume = nullptr;
  QPushButton* m_stop = nullptr;
};

}  // namespace vantrelis
