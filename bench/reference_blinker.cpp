// SPDX-License-Identifier: MIT
// The plain reference the program is measured against: a minimal Qt window whose one timer
// toggles Caps Lock through XKB at each expiry, remembering the state rather than reading it.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

// Xlib last: its macros clash with Qt's names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

int main(int argc, char** argv) {
  Display* display = XkbOpenDisplay(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (display == nullptr) return 1;
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle("Reference");
  window.setFixedSize(476, 52);
  window.show();
  bool on = false;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    on = !on;
    XkbLockModifiers(display, XkbUseCoreKbd, LockMask, on ? LockMask : 0);
    XFlush(display);
  });
  timer.start(argc > 1 ? std::atoi(argv[1]) : 100);
  const int status = QApplication::exec();
  XkbLockModifiers(display, XkbUseCoreKbd, LockMask, 0);
  XCloseDisplay(display);
  return status;
}
