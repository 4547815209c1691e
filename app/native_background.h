// The native background of a top-level window: what the window system shows
// in a window from the moment it is mapped until the program first paints.
#pragma once

class QImage;
class QWidget;

namespace vantrelis {

// Makes `picture` (the window's size) the native background of `window`'s
// native window, creating that window if need be, so that the window shows
// it from its first frame on. False where the platform keeps no such
// background (anything but X11) or the server's pixel layout is not 32-bit.
bool SetNativeBackground(QWidget* window, const QImage& picture);

}  // namespace vantrelis
