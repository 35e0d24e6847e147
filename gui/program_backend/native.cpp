// The backend of the Windows program as it ships: its own windows, and
// nothing a process's environment could script. Where no window can be
// made (no desktop), the program ends as if its window had been closed at
// once.
#include "gui/windowless_backend.h"

namespace orvel::gui {

std::unique_ptr<Backend> makeProgramBackend() {
  if (auto native = makeNativeBackend()) return native;
  return std::make_unique<WindowlessBackend>();
}

}  // namespace orvel::gui
