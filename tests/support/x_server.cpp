// SPDX-License-Identifier: MIT
#include "x_server.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xutil.h>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace blinkolux::testing {

XServerView::XServerView(const char* displayName)
    : display_(XkbOpenDisplay(displayName, nullptr, nullptr, nullptr, nullptr, nullptr)) {
  if (display_ == nullptr) throw std::runtime_error("these tests need an X display with XKB");
  // Other clients' windows can go away between being named and being asked about.
  XSetErrorHandler([](Display* /*display*/, XErrorEvent* /*error*/) { return 0; });
  for (std::size_t i = 0; i < kLampNames.size(); ++i)
    XkbGetNamedIndicator(display_, XInternAtom(display_, std::string(kLampNames[i]).c_str(), False),
                         &indicatorIndex_[i], nullptr, nullptr, nullptr);
  XkbSelectEvents(display_, XkbUseCoreKbd, XkbIndicatorStateNotifyMask,
                  XkbIndicatorStateNotifyMask);
  XkbSelectEventDetails(display_, XkbUseCoreKbd, XkbStateNotify, XkbModifierLockMask,
                        XkbModifierLockMask);
}

XServerView::~XServerView() {
  XCloseDisplay(display_);
}

Lamps XServerView::lampsFrom(unsigned state) const {
  Lamps lamps{};
  for (std::size_t i = 0; i < lamps.size(); ++i)
    lamps[i] = ((state >> indicatorIndex_[i]) & 1) != 0;
  return lamps;
}

Lamps XServerView::indicators() {
  unsigned state = 0;
  XkbGetIndicatorState(display_, XkbUseCoreKbd, &state);
  return lampsFrom(state);
}

unsigned XServerView::lockedModifiers() {
  XkbStateRec state{};
  XkbGetState(display_, XkbUseCoreKbd, &state);
  return state.locked_mods;
}

void XServerView::lockCapsAndNum(bool caps, bool num) {
  XkbLockModifiers(display_, XkbUseCoreKbd, LockMask | Mod2Mask,
                   (caps ? LockMask : 0) | (num ? Mod2Mask : 0));
  XSync(display_, False);
}

std::vector<XServerView::Change> XServerView::watch(int ms) {
  int xkbEvent = 0;
  XkbQueryExtension(display_, nullptr, &xkbEvent, nullptr, nullptr, nullptr);
  std::vector<Change> changes;
  int lockRequests = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type != xkbEvent) continue;
      const auto& xkb = reinterpret_cast<const XkbEvent&>(event);
      if (xkb.any.xkb_type == XkbStateNotify) ++lockRequests;
      if (xkb.any.xkb_type == XkbIndicatorStateNotify) {
        changes.push_back({xkb.indicators.time, lampsFrom(xkb.indicators.state), lockRequests});
        lockRequests = 0;
      }
    }
    pollfd fd{ConnectionNumber(display_), POLLIN, 0};
    poll(&fd, 1, 5);
  }
  return changes;
}

void XServerView::discardChanges() {
  XSync(display_, True);
}

std::string XServerView::rootProperty(const std::string& name) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(display_, DefaultRootWindow(display_),
                     XInternAtom(display_, name.c_str(), False), 0, 64, False, XA_STRING, &type,
                     &format, &count, &left, &data);
  std::string value(reinterpret_cast<const char*>(data), data != nullptr ? count : 0);
  if (data != nullptr) XFree(data);
  return value;
}

std::size_t XServerView::pixels(unsigned long window, int x, int y, int width, int height) {
  XImage* image = XGetImage(display_, window, x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image == nullptr) return 0;
  const std::string_view bytes(image->data,
                               static_cast<std::size_t>(image->bytes_per_line) * image->height);
  const std::size_t hash = std::hash<std::string_view>{}(bytes);
  XDestroyImage(image);
  return hash;
}

std::string XServerView::windowClass(unsigned long window) {
  XClassHint hint{};
  if (XGetClassHint(display_, window, &hint) == 0) return "";
  std::string name = hint.res_class != nullptr ? hint.res_class : "";
  XFree(hint.res_name);
  XFree(hint.res_class);
  return name;
}

unsigned long XServerView::iconSize(unsigned long window) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(display_, window, XInternAtom(display_, "_NET_WM_ICON", False), 0, 1 << 20,
                     False, XA_CARDINAL, &type, &format, &count, &left, &data);
  if (data != nullptr) XFree(data);
  return count;
}

unsigned long XServerView::findWindow(const std::string& title) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count);
  unsigned long found = 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(display_, children[i], &name) != 0 && name != nullptr) {
      if (title == name) found = children[i];
      XFree(name);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

namespace {

Window windowProperty(Display* display, Window on, const char* name) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(display, on, XInternAtom(display, name, False), 0, 1, False, XA_WINDOW, &type,
                     &format, &count, &left, &data);
  const Window value =
      data != nullptr && format == 32 && count == 1 ? *reinterpret_cast<Window*>(data) : None;
  if (data != nullptr) XFree(data);
  return value;
}

}  // namespace

bool XServerView::windowManagerRuns() {
  return windowProperty(display_, DefaultRootWindow(display_), "_NET_SUPPORTING_WM_CHECK") != None;
}

bool XServerView::activated(const std::string& title) {
  const Window active = windowProperty(display_, DefaultRootWindow(display_), "_NET_ACTIVE_WINDOW");
  char* name = nullptr;
  const bool named = active != None && XFetchName(display_, active, &name) != 0 &&
                     name != nullptr && title == name;
  if (name != nullptr) XFree(name);
  return named;
}

unsigned long XServerView::holdSelection(const std::string& selection, const std::string& property,
                                         int format, unsigned long named) {
  const Window window =
      XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
  const Atom name = XInternAtom(display_, property.c_str(), False);
  if (format == 32)
    XChangeProperty(display_, window, name, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&named), 1);
  if (format == 8)
    XChangeProperty(display_, window, name, XA_WINDOW, 8, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&named), 1);
  XSetSelectionOwner(display_, XInternAtom(display_, selection.c_str(), False), window,
                     CurrentTime);
  XSync(display_, False);
  return window;
}

void XServerView::destroyWindow(unsigned long window) {
  XDestroyWindow(display_, window);
  XSync(display_, False);
}

void XServerView::closeWindow(unsigned long window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, window, False, NoEventMask, &event);
  XSync(display_, False);
}

bool clickOn(unsigned long window, ControlId id) {
  const ControlDescription& c = control(id);
  return output("xdotool mousemove --window " + std::to_string(window) + " " +
                std::to_string(pixels(c.left + c.width / 2)) + " " +
                std::to_string(pixels(c.top + c.height / 2)) + " click 1 && echo ok") == "ok\n";
}

bool waitFor(const std::function<bool()>& holds, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!holds()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::vector<Step> steps(const std::vector<XServerView::Change>& changes, const Lamps& before) {
  std::vector<Step> steps;
  Lamps previous = before;
  for (const auto& change : changes) {
    int changed = 0;
    for (std::size_t i = 0; i < previous.size(); ++i)
      changed += previous[i] != change.lamps[i];
    previous = change.lamps;
    if (changed == 0) continue;  // another indicator's change
    if (steps.empty() || change.time - steps.back().time > 10) {
      steps.push_back(
          {change.time, change.time, pattern(change.lamps), changed, change.lockRequests});
    } else {
      steps.back().time = change.time;
      steps.back().lamps = pattern(change.lamps);
      steps.back().lampsChanged += changed;
      steps.back().lockRequests += change.lockRequests;
    }
  }
  return steps;
}

std::string output(const std::string& command) {
  std::string text;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return text;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    text.append(buffer.data(), n);
  pclose(pipe);
  return text;
}

std::string keymapDump() {
  return output("xkbcomp -xkb \"$DISPLAY\" - 2>/dev/null");
}

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> envStrings;
  for (char** e = environ; *e != nullptr; ++e)
    envStrings.emplace_back(*e);
  for (const std::string& setting : environment) {
    const std::string name = setting.substr(0, setting.find('=') + 1);
    std::erase_if(envStrings, [&](const std::string& s) { return s.starts_with(name); });
    envStrings.push_back(setting);
  }
  std::vector<char*> env;
  env.reserve(envStrings.size() + 1);
  for (std::string& s : envStrings)
    env.push_back(s.data());
  env.push_back(nullptr);

  std::array<int, 2> fds{};
  if (pipe2(fds.data(), O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
  if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), env.data()) != 0)
    throw std::runtime_error("cannot start " + argv[0]);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  errorPipe_ = fds[0];
}

Child::~Child() {
  if (wait(0) < 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  close(errorPipe_);
}

int Child::wait(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (status_ < 0) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (std::chrono::steady_clock::now() >= end) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return status_;
}

std::string Child::standardError() {
  std::string text;
  std::array<char, 4096> buffer{};
  pollfd fd{errorPipe_, POLLIN, 0};
  while (poll(&fd, 1, 0) > 0) {
    const ssize_t n = read(errorPipe_, buffer.data(), buffer.size());
    if (n <= 0) break;
    text.append(buffer.data(), static_cast<std::size_t>(n));
  }
  return text;
}

XServer::XServer() {
  // -displayfd 2: the number it chose comes on its standard error, as a line of digits.
  server_ = std::make_unique<Child>(
      std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", "2", "-noreset", "-nolisten", "tcp"});
  std::string said;
  waitFor(
      [&] {
        said += server_->standardError();
        const auto end = said.find('\n');
        if (end == std::string::npos) return false;
        const std::string line = said.substr(0, end);
        said.erase(0, end + 1);
        if (line.empty() || line.find_first_not_of("0123456789") != std::string::npos) return false;
        display_ = ":" + line;
        return true;
      },
      10000);
  if (display_.empty()) throw std::runtime_error("Xvfb did not start: " + said);
}

XServer::~XServer() {
  ::kill(server_->pid(), SIGTERM);  // it cleans up its socket and lock file
  server_->wait(2000);
}

void XServer::kill() {
  ::kill(server_->pid(), SIGKILL);
  server_->wait(2000);
}

}  // namespace blinkolux::testing
