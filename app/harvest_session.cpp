#include "app/harvest_session.h"

#include <stdexcept>

#include "app/messages.h"

namespace vantrelis {

HarvestRig::HarvestRig(ContactTable& table, SessionJournal* journal, QWebEngineView* wwwView,
                       QWebEngineView* www2View)
    : m_driver(m_clock), m_www(wwwView), m_www2(www2View), m_run(m_www, m_www2, table, m_driver, journal) {}

HarvestRig::~HarvestRig() = default;

void HarvestRig::abortWaits() {
  m_run.FormClose();
  m_clock.abort();
  m_www.abortWaits();
  m_www2.abortWaits();
}

HarvestSession::HarvestSession(const std::string& journalFolder, QObject* parent)
    : QObject(parent), m_journal(m_table, journalFolder, [this](const std::string& message) {
        const QString text = QString::fromStdString(message);
        QMetaObject::invokeMethod(
            this, [this, text] { emit journalFailed(text); }, Qt::QueuedConnection);
      }) {}

HarvestSession::~HarvestSession() {
  m_rig.reset();
  m_journal.End();
}

HarvestRig& HarvestSession::attachBrowsers(QWebEngineView* wwwView, QWebEngineView* www2View) {
  if (m_rig) throw std::logic_error(messages::kBrowsersAttached);
  m_rig = std::make_unique<HarvestRig>(m_table, &m_journal, wwwView, www2View);
  return *m_rig;
}

}  // namespace vantrelis
