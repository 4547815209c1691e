#include "app/splash_screen.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include "app/native_background.h"
#include "app/pictures.h"

namespace vantrelis {
namespace {

// The splash window: the picture inside a one-pixel frame.
class SplashWindow : public QWidget {
 public:
  explicit SplashWindow(const QPixmap& picture)
      : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus),
        m_picture(picture) {
    setObjectName(QStringLiteral("OvcSplashWindow"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // The picture covers every pixel: nothing is cleared before it is drawn.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(picture.width() + 2, picture.height() + 2);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawPixmap(1, 1, m_picture);
    p.setPen(QColor(60, 60, 60));
    p.drawRect(0, 0, width() - 1, height() - 1);
  }

 private:
  QPixmap m_picture;
};

}  // namespace

SplashScreen::SplashScreen(QObject* parent) : QObject(parent) {
  setObjectName(QStringLiteral("OvcSplashDialog1"));
  m_timer.setSingleShot(false);
  connect(&m_timer, &QTimer::timeout, this, &SplashScreen::onTick);
}

SplashScreen::~SplashScreen() { delete m_window.data(); }

void SplashScreen::Show() {
  if (m_shown) return;
  m_shown = true;
  if (m_picture.isNull()) m_picture = SplashPicture();
  auto* window = new SplashWindow(m_picture);
  m_window = window;
  // Centred on the screen, the client area (the picture) counting.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    const int left = (area.width() - m_picture.width()) / 2;
    const int top = (area.height() - m_picture.height()) / 2;
    window->move(area.left() + left - 1, area.top() + top - 1);
  }
  // The window system shows the picture from the moment it maps the window,
  // before the event loop gets to paint it (the loop is busy building the
  // main window until then).
  m_hasNativeBackground = SetNativeBackground(window, window->grab().toImage());
  m_timer.setInterval(2);
  m_timer.start();
  window->show();
  window->repaint();
}

void SplashScreen::onTick() {
  // Ticks come only once the event loop runs: the first re-arms at 1 ms,
  // the second removes the window.
  m_timer.stop();
  if (m_timer.interval() != 1) {
    m_timer.setInterval(1);
    m_timer.start();
    return;
  }
  if (m_window) {
    m_window->hide();
    m_window->deleteLater();
    m_window = nullptr;
  }
}

}  // namespace vantrelis
