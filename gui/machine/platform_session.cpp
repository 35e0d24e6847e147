// The GUI on the emulated machine: there are no native windows, so the
// scripted GUI always runs; a person at a terminal types the actions.
#include <cstdlib>

#include "gui/backend.h"
#include "platform/terminal.h"

namespace orvel::gui {

std::unique_ptr<PlatformSession> startPlatformSession() { return std::make_unique<PlatformSession>(); }

std::unique_ptr<Backend> makeNativeBackend() { return nullptr; }

std::optional<Str> environmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return fromUtf8(value);
}

bool standardInputIsTerminal() { return terminal::isTerminal(terminal::Stream::Input); }

}  // namespace orvel::gui
