#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "lamps/display_claim.h"
#include "lamps/kernel_keyboard.h"
#include "lamps/lamp_access.h"
#include "lamps/x11_keyboard.h"
#include "window/clocks.h"
#include "window/form.h"
#include "window/qt/qt_window.h"

namespace {

using namespace blinkolux;

// Signals close the window through the event loop, where the lamps can be put back safely: the
// handler itself only writes a byte to this pipe.
std::array<int, 2> signalPipe{-1, -1};

void onSignal(int /*signal*/) {
  const char byte = 1;
  (void)!write(signalPipe[1], &byte, 1);
}

// The kernel's lamps outlive the X server: should it go away (Qt and we then exit), they are put
// back on the way out.
KernelKeyboard* kernelLamps = nullptr;

void putKernelLampsBack() {
  if (kernelLamps != nullptr) kernelLamps->putBack();
  kernelLamps = nullptr;
}

bool waylandSession() {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  const char* type = std::getenv("XDG_SESSION_TYPE");
  return (display != nullptr && *display != '\0') ||
         (type != nullptr && std::string_view(type) == "wayland");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    std::fputs("usage: blinkolux (it takes no arguments)\n", stderr);
    return 2;
  }
  // The window lives on the X display, where the one copy is claimed, in Wayland sessions too.
  setenv("QT_QPA_PLATFORM", "xcb", 0);
  // The lamp mirror repaints a few hundred pixels a step: sent as shared memory, each would cost
  // two more wake-ups a step waiting for the server to be done with it.
  setenv("QT_XCB_NO_MITSHM", "1", 0);

  // The display first: without it there is nothing to show and no lamp to touch. Then the
  // keyboard: the X server's where its lock states reach the lamps, else the kernel's.
  std::unique_ptr<DisplayClaim> claim;
  std::unique_ptr<X11Keyboard> x11;
  std::unique_ptr<KernelKeyboard> kernel;
  try {
    claim = std::make_unique<DisplayClaim>();
    if (!claim->claim()) return 0;  // the running copy has been raised
    if (waylandSession() || claim->isXWayland())
      kernel = std::make_unique<KernelKeyboard>();
    else
      x11 = std::make_unique<X11Keyboard>();
  } catch (const std::runtime_error& error) {
    std::fprintf(stderr, "blinkolux: %s\n", error.what());
    return 1;
  }
  KeyboardServices& keyboard = kernel ? static_cast<KeyboardServices&>(*kernel) : *x11;
  const std::string_view kind = kernel ? "kernel" : "x11";  // as the display's record names it

  // The last copy died without putting the lamps back: do it for it.
  if (const auto left = claim->leftBehind(kind)) {
    if (kernel) {
      kernel->putBack(*left);
    } else if (const auto lamps = parsePattern(*left)) {
      LampAccess(keyboard).SetLockStates(*lamps);
      keyboard.commit();
    }
  }
  kernelLamps = kernel.get();
  std::atexit(putKernelLampsBack);

  if (pipe2(signalPipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) return 1;
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
    sigaction(signal, &action, nullptr);

  QApplication app(argc, argv);
  SteadyClock clock;
  Form1 form(keyboard, clock);
  QtWindow window(form);
  form.Form_Load();
  claim->keep(kind, kernel ? kernel->record() : pattern(form.SavedLamps));
  if (kernel) kernel->onRecordChanged = [&] { claim->keep(kind, kernel->record()); };
  window.show();
  // A Wayland window's id means nothing on the X display.
  if (QGuiApplication::platformName() == "xcb") claim->setMainWindow(window.winId());

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
  putKernelLampsBack();  // the triggers too, and what the user set meanwhile
  claim->forget();
  return status;
}
