// The main window together with a session of its own, made and destroyed in
// the program's order: the session first, gone last.
#pragma once

#include <QStringList>

#include "app/harvest_session.h"
#include "app/main_window.h"

namespace vantrelis {

namespace detail {
struct OwnSession {
  HarvestSession session;
};
}  // namespace detail

// Held as a TForm1; its session (a base made before the window) outlives it.
class SessionWindow : private detail::OwnSession, public TForm1 {
 public:
  explicit SessionWindow(const QStringList& arguments) : TForm1(session, arguments) {}
};

}  // namespace vantrelis
