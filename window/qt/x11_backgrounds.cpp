// SPDX-License-Identifier: MIT
#include "window/qt/x11_backgrounds.h"

// Qt before Xlib, whose macros (CursorShape, ...) would break Qt's headers.
#include <QGuiApplication>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on

namespace blinkolux {

namespace {

Display* qtDisplay() {
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->display() : nullptr;
}

}  // namespace

bool X11Backgrounds::available() {
  Display* display = qtDisplay();
  if (display == nullptr) return false;
  const Visual* visual = DefaultVisual(display, DefaultScreen(display));
  return DefaultDepth(display, DefaultScreen(display)) == 24 && visual->c_class == TrueColor &&
         visual->red_mask == 0xff0000 && visual->green_mask == 0xff00 && visual->blue_mask == 0xff;
}

X11Backgrounds::X11Backgrounds(unsigned long window, Display* stepConnection)
    : display_(stepConnection != nullptr ? stepConnection : qtDisplay()),
      flush_(stepConnection == nullptr),
      window_(window) {
  // Qt made the window on its own connection: the server must know it before another names it.
  XSync(qtDisplay(), False);
}

X11Backgrounds::~X11Backgrounds() {
  clear();
}

void X11Backgrounds::add(unsigned key, const QImage& picture) {
  const int screen = DefaultScreen(display_);
  QImage pixels = picture.convertToFormat(QImage::Format_RGB32);
  const auto width = static_cast<unsigned>(pixels.width());
  const auto height = static_cast<unsigned>(pixels.height());
  const Pixmap pixmap = XCreatePixmap(display_, window_, width, height, 24);
  XImage* image = XCreateImage(display_, DefaultVisual(display_, screen), 24, ZPixmap, 0,
                               reinterpret_cast<char*>(pixels.bits()), width, height, 32,
                               static_cast<int>(pixels.bytesPerLine()));
  if (image != nullptr) {
    // The bytes are in this machine's order; Xlib swaps them for a server of the other.
    image->byte_order = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? LSBFirst : MSBFirst;
    GC gc = XCreateGC(display_, pixmap, 0, nullptr);
    XPutImage(display_, pixmap, gc, image, 0, 0, 0, 0, width, height);
    XFreeGC(display_, gc);
    image->data = nullptr;  // Qt's
    XDestroyImage(image);
  }
  pixmaps_[key] = pixmap;
}

void X11Backgrounds::show(unsigned key, bool flush) {
  XSetWindowBackgroundPixmap(display_, window_, pixmaps_.at(key));
  XClearWindow(display_, window_);
  if (flush || flush_) XFlush(display_);  // at once: a show's end step holds up the event loop
}

void X11Backgrounds::clear() {
  for (const auto& [key, pixmap] : pixmaps_)
    XFreePixmap(display_, pixmap);  // the window's present one stays until the next is set
  pixmaps_.clear();
}

}  // namespace blinkolux
