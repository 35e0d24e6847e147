#include "platform/terminal.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

namespace orvel::terminal {
namespace {

DWORD handleId(Stream stream) {
  switch (stream) {
    case Stream::Input: return STD_INPUT_HANDLE;
    case Stream::Output: return STD_OUTPUT_HANDLE;
    case Stream::Error: return STD_ERROR_HANDLE;
  }
  return STD_OUTPUT_HANDLE;
}

int descriptor(Stream stream) {
  switch (stream) {
    case Stream::Input: return _fileno(stdin);
    case Stream::Output: return _fileno(stdout);
    case Stream::Error: return _fileno(stderr);
  }
  return _fileno(stdout);
}

}  // namespace

bool isTerminal(Stream stream) { return _isatty(descriptor(stream)) != 0; }

std::optional<int> columns(Stream stream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(handleId(stream)), &info)) return std::nullopt;
  const int width = info.srWindow.Right - info.srWindow.Left + 1;
  if (width <= 0) return std::nullopt;
  return width;
}

}  // namespace orvel::terminal
