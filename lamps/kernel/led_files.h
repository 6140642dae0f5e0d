// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The kernel's LED files in sysfs, read and written as they are: sd-device would answer from its
// cache.
namespace blinkolux::sysfs {

std::optional<std::string> readFile(const std::string& path);  // whole, however long
bool writeFile(const std::string& path, std::string_view text);
// Opening tells, where access() would not: umockdev's test bed does not answer faccessat().
bool canWrite(const std::string& path);

// An LED's brightness is not 0.
bool lit(const std::string& syspath);
// "none kbd-scrolllock [kbd-numlock] ...": the one in brackets, "none" when there is none.
std::string activeTrigger(std::string_view triggers);

}  // namespace blinkolux::sysfs
