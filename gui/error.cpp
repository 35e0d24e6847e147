#include "gui/error.h"

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <typeinfo>
#include <variant>

namespace orvel::gui {

bool isProgrammingError(const std::exception& error) {
  return dynamic_cast<const std::logic_error*>(&error) || dynamic_cast<const std::bad_optional_access*>(&error) ||
         dynamic_cast<const std::bad_variant_access*>(&error) || dynamic_cast<const std::bad_cast*>(&error) ||
         dynamic_cast<const std::bad_typeid*>(&error) || dynamic_cast<const std::bad_function_call*>(&error) ||
         dynamic_cast<const std::bad_weak_ptr*>(&error);
}

Str exceptionText(const std::exception& error) {
  if (const auto* carrying = dynamic_cast<const TextException*>(&error)) return carrying->text();
  const Str what = fromUtf8(error.what());
  return isProgrammingError(error) ? kProgrammingErrorText + what : what;
}

Str errorBoxText(const Str& message) {
  if (!message.empty() && message.back() > u'.') return message + u".";
  return message;
}

}  // namespace orvel::gui
