// SPDX-License-Identifier: MIT
#pragma once

#include "lamps/lamps.h"

namespace blinkolux {

// Moves the running light one position on. Direction on travels Num -> Caps -> Scroll -> Num, off
// the other way. Plain, the first lit flag (in Num, Caps, Scroll order) moves and the others keep
// their values; inverted, the first dark flag moves and the others all light. With no flag in the
// travelling state nothing moves.
constexpr Lamps moveChase(Lamps chase, bool direction, bool inverted) {
  const bool travelling = !inverted;
  std::size_t from = 0;
  while (from < chase.size() && chase[from] != travelling)
    ++from;
  if (from == chase.size()) return chase;
  const std::size_t to = (from + (direction ? 1 : 2)) % chase.size();
  if (inverted) {
    Lamps moved{true, true, true};
    moved[to] = false;
    return moved;
  }
  chase[from] = false;
  chase[to] = true;
  return chase;
}

}  // namespace blinkolux
