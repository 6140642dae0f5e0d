// SPDX-License-Identifier: MIT
#pragma once

#include "lamps/lamps.h"

namespace blinkolux {

// A keyboard's three lamps, as a platform reaches them. Lamp access is its only user: it reads a
// lamp, and writes it only when it differs from what it read just before.
class Keyboard {
 public:
  virtual ~Keyboard() = default;

  virtual bool read(Lamp lamp) = 0;
  virtual void write(Lamp lamp, bool on) = 0;

  // For keyboards that keep a copy of the state and hold writes back: the next reads ask the
  // device itself, where exactness is everything (at load and unload) ...
  virtual void refresh() {}
  // ... and the writes made so far leave together, as one change (when a handler ends, before it
  // pauses, and after the unload's restore).
  virtual void commit() {}

  // The lamps it can drive: a keymap or a seat may offer fewer than three.
  virtual Lamps driven() { return {true, true, true}; }
};

}  // namespace blinkolux
