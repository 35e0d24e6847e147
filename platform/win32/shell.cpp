// The shell through shell32: ShellExecuteW, SHGetFolderPathW,
// SHFileOperationW and SHChangeNotify.
#include "platform/shell.h"

#include "platform/win32/win32.h"

// After <windows.h>, which they need.
#include <shellapi.h>
#include <shlobj.h>

namespace orvel::shell {
namespace {

using win32::wide;

// The program is a 32-bit program in its design: its programs folder is the
// 32-bit one, "Program Files (x86)" on 64-bit Windows. On 32-bit Windows this
// id names the one programs folder.
int viewedFolder(int csidl) { return csidl == kCsidlProgramFiles ? CSIDL_PROGRAM_FILESX86 : csidl; }

}  // namespace

intptr_t execute(void* owner, const Str& file, const Str& parameters, const Str& directory,
                 int showCommand) {
  HINSTANCE result = ShellExecuteW(static_cast<HWND>(owner), nullptr, wide(file), wide(parameters),
                                   wide(directory), showCommand);
  return reinterpret_cast<intptr_t>(result);
}

Str specialFolder(int csidl) {
  wchar_t path[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, viewedFolder(csidl), nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return win32::fromWide(path);
}

int deleteToRecycleBin(const Str& path, uint16_t flags) {
  // The source is a list of names, each ended by a NUL, the list by another.
  std::wstring from(wide(path), path.size());
  from.push_back(L'\0');
  SHFILEOPSTRUCTW operation{};
  operation.hwnd = nullptr;
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = flags;
  return SHFileOperationW(&operation);
}

void changeNotify(uint32_t eventId, uint32_t flags) {
  SHChangeNotify(static_cast<LONG>(eventId), flags, nullptr, nullptr);
}

}  // namespace orvel::shell
