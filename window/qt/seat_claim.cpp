// SPDX-License-Identifier: MIT
#include "window/qt/seat_claim.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace blinkolux {

namespace {

// "\0blinkolux/1000/seat0": the leading NUL makes it abstract.
sockaddr_un address(const std::string& seat, socklen_t& length) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string name = "blinkolux/" + std::to_string(getuid()) + '/' + seat;
  const std::size_t size = std::min(name.size(), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, name.data(), size);
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + size);
  return address;
}

// The name's holder runs as this user.
bool heldByUs(const sockaddr_un& name, socklen_t length) {
  const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ucred holder{};
  socklen_t size = sizeof holder;
  const bool ours =
      probe >= 0 && connect(probe, reinterpret_cast<const sockaddr*>(&name), length) == 0 &&
      getsockopt(probe, SOL_SOCKET, SO_PEERCRED, &holder, &size) == 0 && holder.uid == getuid();
  if (probe >= 0) close(probe);
  return ours;
}

}  // namespace

SeatClaim::SeatClaim(const std::string& seat)
    : socket_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  socklen_t length = 0;
  const sockaddr_un name = address(seat, length);
  if (socket_ < 0) return;  // no claim to be had: run, as without one
  if (bind(socket_, reinterpret_cast<const sockaddr*>(&name), length) == 0) {
    listen(socket_, 1);  // so that a later copy can ask who holds it
    return;
  }
  held_ = errno != EADDRINUSE || !heldByUs(name, length);
}

SeatClaim::~SeatClaim() {
  if (socket_ >= 0) close(socket_);
}

}  // namespace blinkolux
