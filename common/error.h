// The error that the program's framework raises: it carries the text the
// user sees when it escapes a handler.
#pragma once

#include <exception>
#include <string>

#include "gui/error.h"
#include "platform/types.h"

namespace orvel {

class Error : public gui::TextException {
 public:
  explicit Error(Str message) : message_(std::move(message)), utf8_(toUtf8(message_)) {}
  const Str& message() const { return message_; }
  const Str& text() const noexcept override { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  Str message_;
  std::string utf8_;
};

// The text of an error box for an error that escaped a handler: a full stop
// is appended when the last character's code is above that of the full stop,
// so "…Daten" gets one and "…!" or "…)" do not.
inline Str ErrorBoxText(const Str& message) { return gui::errorBoxText(message); }

}  // namespace orvel
