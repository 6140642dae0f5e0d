// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace blinkolux {

// One copy per seat where the kernel's lamps are driven: two X displays can share a seat (a nested
// compositor's Xwayland beside the session's), and their copies would fight over its lamps.
//
// The claim is an abstract socket named after the user and the seat, bound while the copy runs:
// nothing on disk, and the kernel frees the name however the copy ends. Only a holder of the same
// user counts, so another user can't keep Blinkolux from running by binding the name first.
class SeatClaim {
 public:
  explicit SeatClaim(const std::string& seat);
  ~SeatClaim();
  SeatClaim(const SeatClaim&) = delete;
  SeatClaim& operator=(const SeatClaim&) = delete;

  // False when another copy of this user runs on the seat.
  bool held() const { return held_; }

 private:
  int socket_ = -1;
  bool held_ = true;
};

}  // namespace blinkolux
