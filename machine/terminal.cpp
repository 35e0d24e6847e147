#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace orvel::terminal {
namespace {

int descriptor(Stream stream) {
  switch (stream) {
    case Stream::Input: return STDIN_FILENO;
    case Stream::Output: return STDOUT_FILENO;
    case Stream::Error: return STDERR_FILENO;
  }
  return STDOUT_FILENO;
}

}  // namespace

bool isTerminal(Stream stream) { return isatty(descriptor(stream)) == 1; }

std::optional<int> columns(Stream stream) {
  winsize size{};
  if (ioctl(descriptor(stream), TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return std::nullopt;
  return static_cast<int>(size.ws_col);
}

}  // namespace orvel::terminal
