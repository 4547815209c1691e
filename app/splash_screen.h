// The splash screen: a picture shown centred and on top while the main
// window is built, removed at the first turns of the event loop.
#pragma once

#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

class QWidget;

namespace vantrelis {

class SplashScreen : public QObject {
  Q_OBJECT
 public:
  explicit SplashScreen(QObject* parent = nullptr);
  ~SplashScreen() override;

  // Creates, places and paints the splash window and arms its timer; does
  // nothing after the first time.
  void Show();
  // The splash window while it is shown, else null.
  QWidget* window() const { return m_window.data(); }
  // Whether the window system holds the picture as the window's background.
  bool hasNativeBackground() const { return m_hasNativeBackground; }

 private:
  void onTick();

  QPixmap m_picture;
  QPointer<QWidget> m_window;
  QTimer m_timer;
  bool m_shown = false;
  bool m_hasNativeBackground = false;
};

}  // namespace vantrelis
