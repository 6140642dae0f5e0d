// SPDX-License-Identifier: MIT
#include "window/qt/display_loss.h"

// Qt before Xlib, whose macros (CursorShape, ...) would break Qt's headers.
#include <QString>
#include <QtGlobal>
// clang-format off
#include <X11/Xlib.h>
// clang-format on
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string_view>

namespace blinkolux {

namespace {

std::atomic<bool> lost = false;
QtMessageHandler qtHandler = nullptr;
Display* qtDisplay = nullptr;
XErrorHandler qtErrors = nullptr;

void sayLost() {
  lost = true;
  constexpr std::string_view kMessage = "blinkolux: lost the connection to the X display\n";
  (void)!write(STDERR_FILENO, kMessage.data(), kMessage.size());
}

int displayLostHandler(Display* /*display*/) {
  if (!lost) sayLost();
  std::exit(1);  // not _exit: the kernel's lamps are put back on the way out
}

int onXError(Display* display, XErrorEvent* error) {
  if (display == qtDisplay && qtErrors != nullptr) return qtErrors(display, error);
  return 0;
}

// Qt says "The X11 connection broke (error 1). Did the X11 server die?", then calls exit(1). A
// window that can't open at all is a fatal message, after which Qt would abort.
void replaceQtsWords(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QStringLiteral("The X11 connection broke"))) {
    if (!lost) sayLost();
    return;
  }
  if (type == QtFatalMsg) {
    const QByteArray line =
        "blinkolux: the window cannot open: " + message.section(u'\n', 0, 0).toUtf8() + '\n';
    (void)!write(STDERR_FILENO, line.data(), static_cast<std::size_t>(line.size()));
    std::exit(1);
  }
  if (qtHandler != nullptr) qtHandler(type, context, message);
}

}  // namespace

void handleXErrors(Display* qtDisplayIfAny) {
  XSetIOErrorHandler(displayLostHandler);
  const XErrorHandler previousErrors = XSetErrorHandler(onXError);
  if (qtDisplayIfAny != nullptr && previousErrors != onXError) {
    qtDisplay = qtDisplayIfAny;
    qtErrors = previousErrors;
  }
  const QtMessageHandler previous = qInstallMessageHandler(replaceQtsWords);
  if (previous != replaceQtsWords) qtHandler = previous;
}

bool displayLost() {
  return lost;
}

}  // namespace blinkolux
