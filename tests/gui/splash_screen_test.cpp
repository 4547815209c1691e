// The splash on a real X server (the test runs under xvfb-run; elsewhere it
// is skipped): the server shows the picture from the moment a window
// manager maps the window, before the program has painted anything.
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QImage>
#include <QWidget>
#include <cstdlib>
#include <memory>

#include "app/pictures.h"
#include "app/splash_screen.h"
#include "support/auto_dialogs.h"
#include "support/test_main.h"

using namespace vantrelis;

namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};

template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

// A round trip: once it returns, the server has handled every earlier request.
void Sync(xcb_connection_t* connection) {
  Reply<xcb_get_input_focus_reply_t>(
      xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

}  // namespace

class SplashScreenTest : public QObject {
  Q_OBJECT
 private slots:
  void pictureShowsBeforeTheFirstPaint() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
      QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");
    xcb_connection_t* qt = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();

    // This test plays the window manager: map requests come to it, and it
    // maps the splash when the program is no longer looking, as a real one
    // does while the program is busy building its main window.
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> wm(xcb_connect(nullptr, nullptr),
                                                                    &xcb_disconnect);
    QVERIFY(xcb_connection_has_error(wm.get()) == 0);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(wm.get())).data->root;
    const uint32_t redirect = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    if (Reply<xcb_generic_error_t>(xcb_request_check(
            wm.get(), xcb_change_window_attributes_checked(wm.get(), root, XCB_CW_EVENT_MASK, &redirect))))
      QSKIP("another window manager runs on this display");

    SplashScreen splash;
    splash.Show();
    QVERIFY(splash.hasNativeBackground());
    QWidget* window = splash.window();
    QVERIFY(window != nullptr);
    const auto id = static_cast<xcb_window_t>(window->winId());
    Sync(qt);  // the program's map request has reached the server, and us

    bool requested = false;
    while (!requested) {
      Reply<xcb_generic_event_t> event(xcb_wait_for_event(wm.get()));
      QVERIFY(event != nullptr);
      requested = (event->response_type & 0x7f) == XCB_MAP_REQUEST &&
                  reinterpret_cast<xcb_map_request_event_t*>(event.get())->window == id;
    }
    xcb_map_window(wm.get(), id);
    Sync(wm.get());

    // No event has been handled by the program since it showed the window,
    // so what the window holds now is its native background.
    const int width = window->width();
    const int height = window->height();
    Reply<xcb_get_image_reply_t> image(
        xcb_get_image_reply(wm.get(),
                            xcb_get_image(wm.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, id, 0, 0,
                                          static_cast<uint16_t>(width), static_cast<uint16_t>(height), ~0u),
                            nullptr));
    QVERIFY(image != nullptr);
    QCOMPARE(xcb_get_image_data_length(image.get()), width * height * 4);
    const QImage shown(xcb_get_image_data(image.get()), width, height, qsizetype{width} * 4,
                       QImage::Format_RGB32);

    const QImage picture = SplashPicture().toImage();
    for (const QPoint at : {QPoint(10, 10), QPoint(200, 150), QPoint(390, 290), QPoint(40, 260)}) {
      QCOMPARE(QColor(shown.pixel(at + QPoint(1, 1))), QColor(picture.pixel(at)));
    }
    QCOMPARE(QColor(shown.pixel(0, 0)), QColor(60, 60, 60));  // the one-pixel frame
  }
};

VANTRELIS_GUI_TEST_MAIN(SplashScreenTest)
#include "splash_screen_test.moc"
