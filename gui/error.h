// What the error box shows for an exception that escaped a handler.
#pragma once

#include <exception>

#include "platform/types.h"

namespace orvel::gui {

// An exception that carries the text the user sees. The error box takes that
// text as it is rather than through what(), whose 8-bit form could not hold
// every UTF-16 text unchanged.
class TextException : public std::exception {
 public:
  virtual const Str& text() const noexcept = 0;
};

// What an escaped exception that is none of std::exception shows.
inline constexpr char16_t kUnknownExceptionText[] = u"Unbekannte Ausnahme";
// The text the user sees for an exception: a TextException's own, what()
// read as UTF-8 for any other.
Str exceptionText(const std::exception& error);

// The text of the error box: a full stop is appended when the last
// character's code is above that of the full stop, so "…Daten" gets one and
// "…!" or "…)" do not.
Str errorBoxText(const Str& message);

}  // namespace orvel::gui
