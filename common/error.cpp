#include "common/error.h"

namespace orvel {

Str ErrorBoxText(const Str& message) {
  if (!message.empty() && message.back() > u'.') return message + u".";
  return message;
}

}  // namespace orvel
