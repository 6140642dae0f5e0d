// SPDX-License-Identifier: MIT
#include "lamps/kernel/led_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>

namespace blinkolux::sysfs {

namespace {

struct File {
  explicit File(const std::string& path, int flags) : fd(open(path.c_str(), flags | O_CLOEXEC)) {}
  ~File() {
    if (fd >= 0) close(fd);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  int fd;
};

}  // namespace

std::optional<std::string> readFile(const std::string& path) {
  const File file(path, O_RDONLY);
  if (file.fd < 0) return std::nullopt;
  std::string text;
  std::array<char, 4096> buffer{};
  for (;;) {
    const ssize_t n = read(file.fd, buffer.data(), buffer.size());
    if (n < 0) return std::nullopt;
    if (n == 0) return text;
    text.append(buffer.data(), static_cast<std::size_t>(n));
  }
}

bool writeFile(const std::string& path, std::string_view text) {
  const File file(path, O_WRONLY);
  return file.fd >= 0 &&
         write(file.fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

bool canWrite(const std::string& path) {
  return File(path, O_WRONLY).fd >= 0;
}

bool lit(const std::string& syspath) {
  const auto text = readFile(syspath + "/brightness");
  return text && !text->empty() && text->front() != '0';
}

std::string activeTrigger(std::string_view triggers) {
  const auto open = triggers.find('[');
  const auto close = triggers.find(']', open);
  if (open == std::string_view::npos || close == std::string_view::npos) return "none";
  return std::string(triggers.substr(open + 1, close - open - 1));
}

}  // namespace blinkolux::sysfs
