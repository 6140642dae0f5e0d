// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <optional>

#include "lamps/lamps.h"

namespace blinkolux {

// The lamps found at start, kept while Blinkolux runs, so that the next start after a forced end
// (Task Manager, taskkill /f, a crash: no code of ours runs) can put them back. In a volatile
// registry key of our own: in memory only, gone at logoff, no file.
class LampRecord {
 public:
  LampRecord();
  ~LampRecord();
  LampRecord(const LampRecord&) = delete;
  LampRecord& operator=(const LampRecord&) = delete;

  // What a copy that was ended left; call while holding the one-copy name.
  std::optional<Lamps> leftBehind() const;
  void keep(const Lamps& lamps);
  void forget();  // the lamps are back

 private:
  HKEY key_ = nullptr;  // none where the registry refuses
};

}  // namespace blinkolux
