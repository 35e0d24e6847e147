#include "common/shell_link.h"

#include "common/error.h"
#include "common/fmx_utils.h"
#include "platform/shelllink.h"

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

// The link object's failure as the program's own error, with the system's text.
template <class Call>
auto throughObject(Call call) {
  try {
    return call();
  } catch (const shelllink::ObjectError& error) {
    throw Error(fromUtf8(error.what()));
  }
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
  throughObject([&] { shelllink::save(LinkFile, data); });
  // Kept for later writes through this component.
  WorkingDirectory = workingDirectory;
}

void TShellLink::Read() {
  const shelllink::LinkData data = throughObject([&] { return shelllink::load(LinkFile, kReadBufferChars); });
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
