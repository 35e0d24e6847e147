// The Win32 shell service gives the 32-bit programs folder, as the 32-bit
// program does on 64-bit Windows, and the other folders as the shell has them.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include "platform/shell.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

Str environment(const wchar_t* name) {
  wchar_t value[MAX_PATH + 1] = {};
  DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH + 1);
  return length && length <= MAX_PATH ? Str(reinterpret_cast<const char16_t*>(value)) : Str();
}

Str shellFolder(int csidl) {
  wchar_t path[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return Str(reinterpret_cast<const char16_t*>(path));
}

// 64-bit Windows names the 32-bit programs folder in ProgramFiles(x86);
// 32-bit Windows has one programs folder.
TEST(Win32ShellFolders, ProgramFilesIsThe32BitFolder) {
  test::TestMachine machine;
  Str expected = environment(L"ProgramFiles(x86)");
  if (expected.empty()) expected = environment(L"ProgramFiles");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(shell::specialFolder(shell::kCsidlProgramFiles), expected);
}

// The per-user and all-users folders are the shell's own, without a trailing "\".
TEST(Win32ShellFolders, OtherFoldersAreTheShells) {
  test::TestMachine machine;
  for (int csidl : {shell::kCsidlStartMenu, shell::kCsidlDesktopDirectory, shell::kCsidlCommonStartMenu,
                    shell::kCsidlCommonDesktopDirectory, shell::kCsidlAppData}) {
    SCOPED_TRACE(csidl);
    Str folder = shell::specialFolder(csidl);
    EXPECT_EQ(folder, shellFolder(csidl));
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), u'\\');
  }
}

}  // namespace
}  // namespace orvel
