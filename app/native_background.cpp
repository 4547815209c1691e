#include "app/native_background.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QImage>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <memory>

namespace vantrelis {
namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};

// True when the server stores pixmaps of `depth` as 32-bit little-endian
// words per pixel, the layout of QImage::Format_RGB32 on this machine.
bool ServerTakesRgb32(xcb_connection_t* connection, int depth) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  if (setup == nullptr || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) return false;
  xcb_format_iterator_t format = xcb_setup_pixmap_formats_iterator(setup);
  for (; format.rem > 0; xcb_format_next(&format)) {
    if (format.data->depth == depth)
      return format.data->bits_per_pixel == 32 && format.data->scanline_pad == 32;
  }
  return false;
}

}  // namespace

bool SetNativeBackground(QWidget* window, const QImage& picture) {
  // The offscreen platform answers for X11 too, without a connection.
  if (qGuiApp == nullptr || QGuiApplication::platformName() != QLatin1String("xcb")) return false;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (connection == nullptr || window == nullptr || picture.isNull()) return false;
  const auto id = static_cast<xcb_window_t>(window->winId());

  std::unique_ptr<xcb_get_geometry_reply_t, FreeReply> geometry(
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr));
  if (!geometry) return false;
  const int depth = geometry->depth;
  if ((depth != 24 && depth != 32) || !ServerTakesRgb32(connection, depth)) return false;

  const QImage pixels =
      picture.convertToFormat(depth == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  const auto width = static_cast<uint16_t>(pixels.width());
  const auto height = static_cast<uint16_t>(pixels.height());
  const xcb_pixmap_t pixmap = xcb_generate_id(connection);
  xcb_create_pixmap(connection, static_cast<uint8_t>(depth), pixmap, id, width, height);
  const xcb_gcontext_t gc = xcb_generate_id(connection);
  xcb_create_gc(connection, gc, pixmap, 0, nullptr);

  // The picture goes over in bands that each fit in one request.
  const uint32_t maxRequestBytes = xcb_get_maximum_request_length(connection) * 4;
  const auto lineBytes = static_cast<uint32_t>(pixels.bytesPerLine());
  const int bandRows = std::max(1, static_cast<int>((maxRequestBytes - 64) / lineBytes));
  for (int top = 0; top < height; top += bandRows) {
    const int rows = std::min(bandRows, height - top);
    xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, width, static_cast<uint16_t>(rows), 0,
                  static_cast<int16_t>(top), 0, static_cast<uint8_t>(depth),
                  static_cast<uint32_t>(rows) * lineBytes, pixels.constScanLine(top));
  }
  // The server keeps the background; our names for it can go at once.
  xcb_change_window_attributes(connection, id, XCB_CW_BACK_PIXMAP, &pixmap);
  xcb_free_gc(connection, gc);
  xcb_free_pixmap(connection, pixmap);
  xcb_flush(connection);
  return true;
}

}  // namespace vantrelis
