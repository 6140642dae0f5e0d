#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "lamps/display_claim.h"
#include "lamps/lamp_access.h"
#include "lamps/x11_keyboard.h"
#include "window/clocks.h"
#include "window/form.h"
#include "window/qt/qt_window.h"

namespace {

// Signals close the window through the event loop, where the lamps can be put back safely: the
// handler itself only writes a byte to this pipe.
std::array<int, 2> signalPipe{-1, -1};

constexpr std::string_view kKind = "x11";  // the keyboard, as the display's record names it

void onSignal(int /*signal*/) {
  const char byte = 1;
  (void)!write(signalPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace blinkolux;
  if (argc > 1) {
    std::fputs("usage: blinkolux (it takes no arguments)\n", stderr);
    return 2;
  }
  // The display first: without it there is nothing to show and no lamp to touch.
  std::unique_ptr<DisplayClaim> claim;
  std::unique_ptr<X11Keyboard> keyboard;
  try {
    claim = std::make_unique<DisplayClaim>();
    if (!claim->claim()) return 0;  // the running copy has been raised
    keyboard = std::make_unique<X11Keyboard>();
  } catch (const std::runtime_error& error) {
    std::fprintf(stderr, "blinkolux: %s\n", error.what());
    return 1;
  }
  if (keyboard->isXWayland())
    std::fputs("blinkolux: this is XWayland, whose lock states do not reach the keyboard's lamps\n",
               stderr);
  // The last copy died without putting the lamps back: do it for it.
  if (const auto left = claim->leftBehind(kKind)) {
    LampAccess(*keyboard).SetLockStates(*left);
    keyboard->commit();
  }

  if (pipe2(signalPipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) return 1;
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
    sigaction(signal, &action, nullptr);

  QApplication app(argc, argv);
  SteadyClock clock;
  Form1 form(*keyboard, clock);
  QtWindow window(form);
  form.Form_Load();
  claim->keep(kKind, form.SavedLamps);
  window.show();
  claim->setMainWindow(window.winId());

  // Every way out closes the window, which puts the lamps back.
  QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&signalNotifier, &QSocketNotifier::activated, &window, [&window] {
    std::array<char, 16> bytes{};
    while (read(signalPipe[0], bytes.data(), bytes.size()) > 0) {
    }
    window.close();
  });
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &QWidget::close);
  const int status = QApplication::exec();
  claim->forget();
  return status;
}
