// The backend of the Windows program as it ships: its own windows, and
// nothing a process's environment could script. Where no window can be
// made (no desktop), an empty script stands in: the program ends as if its
// window had been closed at once.
#include <sstream>

#include "platform/gui_script.h"

namespace orvel::gui {

std::unique_ptr<Backend> makeProgramBackend() {
  if (auto native = makeNativeBackend()) return native;
  return makeOwningScriptedBackend(std::make_unique<std::istringstream>(), std::make_unique<std::ostream>(nullptr));
}

}  // namespace orvel::gui
