// SPDX-License-Identifier: MIT
#pragma once

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

// The two shows as a user reads them off the lamps, one pattern a step: the tests' own copy,
// written out apart from the program's tables so that a test never checks a table against itself.
// kernel_lamps_test.py reads it too.
namespace blinkolux::testing {

inline constexpr std::string_view kShow1Script =
    "NCS N.S .C. N.S ... .C. N.S ... .C. N.S ... ... NCS ... NCS ... NCS ...";
inline constexpr std::string_view kShow2Script =
    "N.S .C. NCS ... N.S .C. NCS ... N.S .C. NCS N.. "  //  0 to 11
    "..S N.. ..S N.. ..S N.. ..S N.. ..S N.. ..S N.. "  // 12 to 23
    "... NCS ... NCS ... NCS ... NCS ... NCS ... NCS ... NCS "
    "... NCS ... NCS ... NCS ... NCS ... NCS ... NCS ...";  // 24 to 50

// One pattern a step.
inline std::vector<std::string> showSteps(std::string_view script) {
  std::istringstream words{std::string(script)};
  std::vector<std::string> steps;
  for (std::string step; words >> step;)
    steps.push_back(step);
  return steps;
}

// As lamp changes show them: a step that repeats the one before changes nothing.
inline std::vector<std::string> showChanges(std::string_view script) {
  std::vector<std::string> changes;
  for (const std::string& step : showSteps(script))
    if (changes.empty() || changes.back() != step) changes.push_back(step);
  return changes;
}

}  // namespace blinkolux::testing
