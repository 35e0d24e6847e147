#include "common/shell_link.h"

#include <string_view>

#include "common/error.h"
#include "common/fmx_utils.h"
#include "platform/shelllink.h"
#include "platform/system.h"

namespace orvel {
namespace {

// Room for the longest path Windows knows: a text cut short would name
// another file or folder.
constexpr size_t kReadBufferChars = 32768;

// Show commands of the shell (SW_*).
constexpr int kShowNormal = 1;
constexpr int kShowMaximized = 3;
constexpr int kMinimize = 6;

int showCommandOf(TWindowState state) {
  switch (state) {
    case wsMinimized: return kMinimize;
    case wsMaximized: return kShowMaximized;
    case wsNormal: break;
  }
  return kShowNormal;
}

// The window state a show command stands for; others keep `current`.
TWindowState windowStateOf(int showCommand, TWindowState current) {
  switch (showCommand) {
    case kShowNormal: return wsNormal;
    case kMinimize: return wsMinimized;
    case kShowMaximized: return wsMaximized;
    default: return current;
  }
}

// A link object that cannot be had, as the program's own error: the
// system's text for its code and, when it could not be created, its class.
[[noreturn]] void raiseObjectError(const Result& failure) {
  Str text = sys::errorMessage(failure.error);
  if (failure.call && std::string_view(failure.call) == shelllink::kCreateCall)
    text += Str(u", ClassID: ") + shelllink::kClassId;
  throw Error(text);
}

}  // namespace

void TShellLink::Write() {
  const Str workingDirectory = WorkingDirectory.empty() ? ExtractFilePath(ProgramFile) : WorkingDirectory;
  shelllink::LinkData data;
  data.arguments = Arguments;
  data.description = Description;
  data.hotKey = HotKey;
  data.iconFile = IconFile;
  data.iconIndex = static_cast<int>(IconIndex);
  data.path = ProgramFile;
  data.showCommand = showCommandOf(WindowState);
  data.workingDirectory = workingDirectory;
  if (Result saved = shelllink::save(LinkFile, data); !saved) raiseObjectError(saved);
  // Kept for later writes through this component.
  WorkingDirectory = workingDirectory;
}

void TShellLink::Read() {
  const Outcome<shelllink::LinkData> loaded = shelllink::load(LinkFile, kReadBufferChars);
  if (!loaded) raiseObjectError(loaded.result());
  const shelllink::LinkData& data = *loaded;
  Arguments = data.arguments;
  Description = data.description;
  HotKey = data.hotKey;
  IconFile = data.iconFile;
  IconIndex = static_cast<uint32_t>(data.iconIndex);
  ProgramFile = data.path;
  WindowState = windowStateOf(data.showCommand, WindowState);
  WorkingDirectory = data.workingDirectory;
}

}  // namespace orvel
