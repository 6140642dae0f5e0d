// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include <unistd.h>

#include "lamps/kernel/kernel_keyboard.h"
#include "lamps/lamp_access.h"
#include "lamps/x11/x11_keyboard.h"
#include "lamps/x11/xwayland_locks.h"
#include "window/clocks.h"
#include "window/form.h"
#include "window/qt/display_claim.h"
#include "window/qt/display_loss.h"
#include "window/qt/keyboard_choice.h"
#include "window/qt/qt_window.h"
#include "window/qt/seat_claim.h"
#include "window/qt/signal_pipe.h"

namespace {

using namespace blinkolux;

// The kernel's lamps outlive the X server. Should it go away, Qt's xcb plugin calls exit(1)
// itself, and exit() destroys none of main's locals: so they are owned here, with static storage,
// and put back when exit() destroys their owner.
struct KernelLamps {
  KernelLamps() = default;
  KernelLamps(const KernelLamps&) = delete;
  KernelLamps& operator=(const KernelLamps&) = delete;
  ~KernelLamps() { putBack(); }
  // The triggers too, and what the user set meanwhile; once.
  void putBack() {
    if (!keyboard) return;
    keyboard->onRecordChanged = nullptr;  // the record is forgotten next, or its display gone
    keyboard->putBack();
    keyboard.reset();
  }
  // Lamps another copy drives: not ours to put back.
  void abandon() { keyboard.reset(); }
  std::unique_ptr<KernelKeyboard> keyboard;
} kernelLamps;

// The installed theme's icon, else the PNGs inside the program; and the desktop entry that
// launchers and taskbars tie the window to (its StartupWMClass is the window's WM_CLASS).
void presentAsDesktopProgram() {
  constexpr const char* kAppId = "io.github.blinkolux.Blinkolux";
  QIcon inside;
  for (const int size : {16, 24, 32, 48, 64, 128, 256})
    inside.addFile(QStringLiteral(":/icons/%1/%2.png").arg(size).arg(QLatin1String(kAppId)));
  QApplication::setWindowIcon(QIcon::fromTheme(QLatin1String(kAppId), inside));
  QGuiApplication::setDesktopFileName(QLatin1String(kAppId));
}

void setQtEnvironment() {
  // The window lives on the X display, where the one copy is claimed and the lamps are chosen, in
  // Wayland sessions too.
  setenv("QT_QPA_PLATFORM", "xcb", 1);
}

// The keyboard chosen for the display, and what it needs.
struct KeyboardChoice {
  Keyboard* keyboard = nullptr;
  std::string_view kind;  // as the display's record names it
  std::unique_ptr<X11Keyboard> x11;
  std::unique_ptr<SeatClaim> seat;
  std::unique_ptr<XwaylandLocks> xwayland;
};

// The X server's keyboard where its lock states reach the lamps, else the kernel's: then one copy
// per seat, and the compositor's locks learnt through Xwayland where it is one.
void openKeyboard(DisplayClaim& claim, KeyboardChoice& choice) {
  const DisplayKind display = displayKind(claim.display());
  if (!display.kernelLamps) {
    choice.x11 = std::make_unique<X11Keyboard>();
    choice.keyboard = choice.x11.get();
    choice.kind = "x11";
    return;
  }
  kernelLamps.keyboard = std::make_unique<KernelKeyboard>();
  KernelKeyboard& kernel = *kernelLamps.keyboard;
  choice.seat = std::make_unique<SeatClaim>(kernel.seat());
  if (!choice.seat->held()) {
    kernelLamps.abandon();
    throw std::runtime_error("Blinkolux already runs on " + kernel.seat() +
                             " (on another display), and drives its lamps");
  }
  if (display.xwayland) {
    choice.xwayland = std::make_unique<XwaylandLocks>();
    kernel.compositorLocks = [xwayland = choice.xwayland.get()]() -> std::optional<NumAndCaps> {
      if (displayLost()) return std::nullopt;  // nothing may ask the server any more
      return xwayland->current();
    };
  }
  choice.keyboard = &kernel;
  choice.kind = "kernel";
}

// The last copy died without putting the lamps back: do it for it.
void putBackLeftBehind(DisplayClaim& claim, std::string_view kind, Keyboard& keyboard) {
  const auto left = claim.leftBehind(kind);
  if (!left) return;
  if (kernelLamps.keyboard) {
    kernelLamps.keyboard->putBack(*left);
  } else if (const auto lamps = parsePattern(*left)) {
    LampAccess(keyboard).SetLockStates(*lamps);
    keyboard.commit();
  }
}

// Started from a menu, nobody reads stderr: there the reason is shown in a box as well, when the
// display could be opened, and the status stays 1 once it is closed.
int failBeforeTheWindow(int argc, char** argv, const std::string& reason, bool displayOpened) {
  std::fprintf(stderr, "blinkolux: %s\n", reason.c_str());
  if (!displayOpened || isatty(STDERR_FILENO) == 1) return 1;
  QApplication app(argc, argv);
  presentAsDesktopProgram();
  QString text = QString::fromStdString(reason) + u'.';
  text[0] = text[0].toUpper();
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Blinkolux"), text);
  box.setTextFormat(Qt::PlainText);  // the reason may name paths and seats, never markup
  box.exec();
  return 1;
}

// The window, until it closes; every way out closes it, which puts the lamps back.
int run(QApplication& app, DisplayClaim& claim, const KeyboardChoice& choice,
        SignalPipe& signalPipe) {
  SteadyClock clock;
  Form1 form(*choice.keyboard, clock);
  QtWindow window(form, choice.x11 ? choice.x11->connection() : nullptr);
  const std::string_view kind = choice.kind;
  form.Form_Load();
  KernelKeyboard* kernel = kernelLamps.keyboard.get();
  claim.keep(kind, kernel != nullptr ? kernel->record() : pattern(form.SavedLamps));
  if (kernel != nullptr)
    kernel->onRecordChanged = [&claim, kind, kernel] { claim.keep(kind, kernel->record()); };
  window.show();
  // A Wayland window's id means nothing on the X display.
  if (QGuiApplication::platformName() == "xcb") claim.setMainWindow(window.winId());

  QSocketNotifier signalNotifier(signalPipe.readEnd(), QSocketNotifier::Read);
  QObject::connect(&signalNotifier, &QSocketNotifier::activated, &window, [&] {
    signalPipe.drain();
    window.close();
  });
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &QWidget::close);
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    std::fputs("usage: blinkolux (it takes no arguments)\n", stderr);
    return 2;
  }
  setQtEnvironment();
  handleXErrors();
  // The display first: without it there is nothing to show and no lamp to touch.
  std::unique_ptr<DisplayClaim> claim;
  KeyboardChoice choice;
  std::unique_ptr<SignalPipe> signalPipe;
  try {
    claim = std::make_unique<DisplayClaim>();
    if (!claim->claim()) return 0;  // the running copy has been raised
    openKeyboard(*claim, choice);
    signalPipe = std::make_unique<SignalPipe>();
  } catch (const std::runtime_error& error) {
    const bool displayOpened = claim != nullptr;
    // Nothing held while the reason is shown: a copy started meanwhile may run.
    kernelLamps.putBack();
    choice = {};
    claim.reset();
    return failBeforeTheWindow(argc, argv, error.what(), displayOpened);
  }
  putBackLeftBehind(*claim, choice.kind, *choice.keyboard);

  QApplication app(argc, argv);
  // Again: QApplication has set Xlib's handlers to Qt's.
  const auto* x11 = app.nativeInterface<QNativeInterface::QX11Application>();
  handleXErrors(x11 != nullptr ? x11->display() : nullptr);
  presentAsDesktopProgram();
  const int status = run(app, *claim, choice, *signalPipe);
  kernelLamps.putBack();
  claim->forget();
  return status;
}
