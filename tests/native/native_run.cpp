#include "tests/native/native_run.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>

#include "tests/native/layout.h"
#include "tests/native/machine.h"
#include "tests/native/screenshot.h"

namespace orvel::native {
namespace {

std::wstring screenshotFolder() { return windowsPathOf(ORVEL_SCREENSHOT_DIR) + L"\\"; }

std::wstring wideOf(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

void removeShortcuts() {
  for (int desktop : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY}) {
    const std::wstring folder = shellFolder(desktop);
    if (!folder.empty()) DeleteFileW((folder + L"OrvelDraw.lnk").c_str());
  }
  for (int menu : {CSIDL_COMMON_STARTMENU, CSIDL_STARTMENU}) {
    const std::wstring programs = shellFolder(menu);
    if (programs.empty()) continue;
    DeleteFileW((programs + L"Programs\\OrvelDraw.lnk").c_str());
    DeleteFileW((programs + L"Programs\\OrvelDraw\\OrvelDraw.lnk").c_str());
    RemoveDirectoryW((programs + L"Programs\\OrvelDraw").c_str());
  }
}

}  // namespace

bool displayAvailable() {
  wchar_t display[256] = {};
  return GetEnvironmentVariableW(L"DISPLAY", display, 256) > 0;
}

void removeProgramTraces() {
  for (REGSAM view : {kView32, kView64}) {
    deleteKey(HKEY_LOCAL_MACHINE, L"Software\\OrvelDraw", view);
    deleteKey(HKEY_LOCAL_MACHINE, L"Software\\Classes\\OrvelDraw", view);
    deleteKey(HKEY_LOCAL_MACHINE, kAppsEntryKey, view);
  }
  deleteKey(HKEY_CURRENT_USER, L"Software\\OrvelDraw", 0);
  deleteKey(HKEY_CURRENT_USER, L"Software\\Classes\\OrvelDraw", 0);
  removeShortcuts();
}

void NativeSuite::SetUp() {
  removeFolder(kSuiteFolder);
  makeFolders(kSuiteFolder);
  if (!copyFolder(windowsPathOf(ORVEL_DIST_DIR), kSuiteFolder + L"dist"))
    std::fprintf(stderr, "the distribution could not be copied from %s\n", ORVEL_DIST_DIR);
  makeFolders(screenshotFolder());
}

void NativeSuite::TearDown() {
  removeFolder(kSuiteFolder);
  removeProgramTraces();
}

std::wstring NativeRun::dist() { return kSuiteFolder + L"dist\\"; }

void NativeRun::SetUp() {
  if (!displayAvailable()) GTEST_SKIP() << "no display to show windows on (run it under xvfb-run)";
  ASSERT_TRUE(fileExists(dist() + L"Setup.exe")) << "the distribution was not copied into the prefix";
  ASSERT_EQ(GetUserDefaultLangID(), 0x0407) << "a German user sees the built-in texts (LC_ALL=de_DE.UTF-8, LOCPATH)";
  ASSERT_EQ(screenDpi(), 96) << "the layout is designed at 96 dots per inch";
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  folder_ = kSuiteFolder + wideOf(test->test_suite_name()) + L"." + wideOf(test->name()) + L"\\";
  removeFolder(folder_);
  makeFolders(folder_);
  removeProgramTraces();
}

void NativeRun::claimFolder(const std::wstring& path) {
  removeFolder(path);
  foreignFolders_.push_back(path);
}

void NativeRun::TearDown() {
  if (folder_.empty()) return;
  // The stand-in application that a run started holds its file until it ends.
  waitForTheApplicationToEnd();
  removeProgramTraces();
  for (const std::wstring& path : foreignFolders_) removeFolder(path);
  removeFolder(folder_);
}

std::unique_ptr<SetupProcess> NativeRun::start(const std::wstring& program,
                                               const std::vector<std::wstring>& arguments,
                                               const std::vector<std::wstring>& environment) {
  auto process = std::make_unique<SetupProcess>(program, arguments, folder_, environment);
  EXPECT_TRUE(process->started()) << "could not start the program";
  return process;
}

bool NativeRun::waitForTheApplicationToEnd() {
  return waitUntil([] { return !processRunning(L"OrvelDraw.exe"); }, 10s);
}

std::vector<std::wstring> NativeRun::captionsUntilTheEnd(const SetupProcess& process, Millis limit) {
  std::vector<std::wstring> seen;
  const bool ended = waitUntil(
      [&] {
        for (HWND hwnd : visibleWindows(process.id()))
          if (std::find(seen.begin(), seen.end(), textOf(hwnd)) == seen.end()) seen.push_back(textOf(hwnd));
        return !process.running();
      },
      limit);
  EXPECT_TRUE(ended) << describeWindows(process.id());
  EXPECT_EQ(process.exitCode(), 0u);
  return seen;
}

SetupWindow NativeRun::setupWindowOf(const SetupProcess& process) {
  const HWND form = process.window(caption::kSetup);
  // The first paint may still give the controls the texts of a language file.
  SetupWindow window;
  waitUntil([&] { return (window = findSetupWindow(form)).missing().empty(); }, 10s);
  EXPECT_EQ(window.missing(), "") << "controls of the setup window not found";
  return window;
}

void NativeRun::screenshot(HWND window, const std::string& name) {
  parkMousePointer();
  EXPECT_TRUE(saveScreenshot(window, screenshotFolder() + wideOf(name) + L".png")) << "screenshot " << name;
}

}  // namespace orvel::native
