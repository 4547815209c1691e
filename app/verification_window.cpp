#include "app/verification_window.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/messages.h"
#include "browser/webengine_setup.h"

namespace vantrelis {

VerificationRequest VerificationRequestFor(const RunBlock& block) {
  const char* advice = block.kind == RunBlock::Kind::NoListing ? messages::kVerificationLayoutAdvice
                                                               : messages::kVerificationCheckAdvice;
  return VerificationRequest{
      QUrl(QString::fromStdString(block.url)),
      QString::fromStdString(BlockMessage(block)) + QStringLiteral("\n\n") + QString::fromUtf8(advice)};
}

VerificationWindow::VerificationWindow(const VerificationRequest& request, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint) {
  setObjectName(QStringLiteral("VerificationWindow"));
  setWindowTitle(QString::fromUtf8(messages::kVerificationTitle));
  setModal(true);

  auto* column = new QVBoxLayout(this);
  auto* text = new QLabel(request.text, this);
  text->setObjectName(QStringLiteral("VerificationText"));
  // The message names a page of the site: never read it as mark-up.
  text->setTextFormat(Qt::PlainText);
  text->setWordWrap(true);
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(text);

  m_view = new QWebEngineView(this);
  m_view->setObjectName(QStringLiteral("VerificationView"));
  // The harvest's profile: the cookie a check leaves is the harvest's too.
  m_view->setPage(new QWebEnginePage(HarvestProfile(), m_view));
  column->addWidget(m_view, 1);

  auto* buttons = new QDialogButtonBox(this);
  m_resume =
      buttons->addButton(QString::fromUtf8(messages::kVerificationResume), QDialogButtonBox::AcceptRole);
  m_resume->setObjectName(QStringLiteral("Reprendre"));
  m_stop = buttons->addButton(QString::fromUtf8(messages::kVerificationStop), QDialogButtonBox::RejectRole);
  m_stop->setObjectName(QStringLiteral("Arreter"));
  // Enter in a field of the page must not resume the harvest by itself.
  m_resume->setAutoDefault(false);
  m_stop->setAutoDefault(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  column->addWidget(buttons);

  QSize size = kSize;
  if (const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen())
    size = size.boundedTo(screen->availableGeometry().size());
  resize(size);

  m_view->setUrl(request.page);
}

// The page goes with its view, before the profile it uses.
VerificationWindow::~VerificationWindow() = default;

}  // namespace vantrelis
