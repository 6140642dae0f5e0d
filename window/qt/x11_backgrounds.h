// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

#include <map>
#include <memory>

using Display = struct _XDisplay;

namespace blinkolux {

// Pictures kept on the X server as a native window's possible backgrounds: showing one is two
// small requests, and the server repaints the window itself when it is uncovered. No picture
// crosses the connection more than once, and Qt paints nothing for that window.
class X11Backgrounds {
 public:
  // Whether Qt's windows are on an X display with the plain 24-bit colour this draws for.
  static bool available();
  // Requests go on `stepConnection` when there is one, to leave with the lamps' own flush (one
  // write a step rather than two); else on Qt's connection, flushed at once.
  X11Backgrounds(unsigned long window, Display* stepConnection);
  ~X11Backgrounds();
  X11Backgrounds(const X11Backgrounds&) = delete;
  X11Backgrounds& operator=(const X11Backgrounds&) = delete;

  unsigned long window() const { return window_; }
  bool has(unsigned key) const { return pixmaps_.contains(key); }
  void add(unsigned key, const QImage& picture);
  void show(unsigned key, bool flush = false);
  void clear();

 private:
  Display* display_;
  bool flush_;
  unsigned long window_;
  std::map<unsigned, unsigned long> pixmaps_;  // key to the server's pixmap
};

}  // namespace blinkolux
