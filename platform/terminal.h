// The terminal a person may be typing at: whether a standard stream is one,
// and how wide it is. The scripted GUI asks before it draws windows there.
#pragma once

#include <optional>

namespace orvel::terminal {

enum class Stream { Input, Output, Error };

// Whether the stream is a terminal (isatty; on Windows a console).
bool isTerminal(Stream stream);

// The terminal's width in columns (TIOCGWINSZ; on Windows the console's
// window), or nothing when the stream is no terminal or does not say.
std::optional<int> columns(Stream stream);

}  // namespace orvel::terminal
