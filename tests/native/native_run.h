// One end-to-end run of Setup.exe through its native windows. All runs share
// the one test prefix (made fresh once before the tests); each has its own
// folder below C:\orvel-native\ and starts and ends without the program's
// traces elsewhere in the prefix: its registry keys and its shortcuts.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/native/desktop.h"
#include "tests/native/program_windows.h"
#include "tests/native/setup_process.h"

namespace orvel::native {

// The folder of the whole suite in the prefix.
inline const std::wstring kSuiteFolder = L"C:\\orvel-native\\";

// The suite's set-up: the distribution copied into the prefix once (as it
// ships: Setup.exe beside OrvelDraw.exe and the data folders), a folder for
// the screenshots; everything the suite made removed at its end.
class NativeSuite : public testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
};

// Whether there is a display to show windows on.
bool displayAvailable();

// Removes what the program leaves outside the folders of a run: its keys in
// both registry views and both hives, and its shortcuts.
void removeProgramTraces();

class NativeRun : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The distribution in the prefix, with a trailing backslash.
  static std::wstring dist();
  // The run's own folder, empty at its start, with a trailing backslash.
  const std::wstring& folder() const { return folder_; }

  // Starts a Setup.exe (the distribution's unless told) with its arguments
  // and `environment` entries ("NAME=value"), in the run's folder; fails the
  // case when it cannot start.
  std::unique_ptr<SetupProcess> start(const std::wstring& program, const std::vector<std::wstring>& arguments = {},
                                      const std::vector<std::wstring>& environment = {});
  std::unique_ptr<SetupProcess> startDistSetup(const std::vector<std::wstring>& arguments = {}) {
    return start(dist() + L"Setup.exe", arguments);
  }
  // Waits for a started program to end (and fails the case when it does not
  // end well); the captions of the windows it showed meanwhile.
  std::vector<std::wstring> captionsUntilTheEnd(const SetupProcess& process, Millis limit = 60s);
  // Waits until no OrvelDraw.exe runs (the stand-in that the program starts
  // ends at once); whether none does.
  static bool waitForTheApplicationToEnd();
  // The setup window of a started program, with every control found.
  SetupWindow setupWindowOf(const SetupProcess& process);

  // A folder outside the run's own that the run makes: removed at its start
  // and at its end.
  void claimFolder(const std::wstring& path);

  // Writes a screenshot of the window into the build folder's screenshots/.
  void screenshot(HWND window, const std::string& name);

 private:
  std::wstring folder_;
  std::vector<std::wstring> foreignFolders_;
};

}  // namespace orvel::native
