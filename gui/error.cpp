#include "gui/error.h"

namespace orvel::gui {

Str exceptionText(const std::exception& error) {
  if (const auto* carrying = dynamic_cast<const TextException*>(&error)) return carrying->text();
  return fromUtf8(error.what());
}

Str errorBoxText(const Str& message) {
  if (!message.empty() && message.back() > u'.') return message + u".";
  return message;
}

}  // namespace orvel::gui
