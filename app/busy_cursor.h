// The wait cursor over the window while the GUI thread does a long piece of
// work of its own (a recovery, an import, an export), so that a window that
// does not answer for a moment says why.
#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace vantrelis {

class BusyCursor {
 public:
  // Without a graphical application (a test, a tool) there is no cursor to set.
  BusyCursor() : m_set(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
    if (m_set) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  }
  ~BusyCursor() {
    if (m_set) QGuiApplication::restoreOverrideCursor();
  }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  bool m_set;
};

}  // namespace vantrelis
