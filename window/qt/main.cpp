#include <QApplication>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "lamps/x11_keyboard.h"
#include "window/clocks.h"
#include "window/form.h"
#include "window/qt/qt_window.h"

int main(int argc, char** argv) {
  using namespace blinkolux;
  if (argc > 1) {
    std::fputs("usage: blinkolux (it takes no arguments)\n", stderr);
    return 2;
  }
  // The keyboard first: without a display there is nothing to show and no lamp to touch.
  std::unique_ptr<X11Keyboard> keyboard;
  try {
    keyboard = std::make_unique<X11Keyboard>();
  } catch (const std::runtime_error& error) {
    std::fprintf(stderr, "blinkolux: %s\n", error.what());
    return 1;
  }
  if (keyboard->isXWayland())
    std::fputs("blinkolux: this is XWayland, whose lock states do not reach the keyboard's lamps\n",
               stderr);

  QApplication app(argc, argv);
  SteadyClock clock;
  Form1 form(*keyboard, clock);
  form.Form_Load();
  QtWindow window(form);
  window.show();
  const int status = QApplication::exec();
  form.Form_Unload();
  return status;
}
