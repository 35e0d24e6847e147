// Setup.exe started as a user starts it: its own process, in a working
// folder of the case, with the native windows (no GUI script). It takes the
// user's language from the locale of the Wine process that starts it (a
// German user: see tests/native/CMakeLists.txt). Killed when the object
// goes, should a case end before the program did.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/native/desktop.h"

namespace orvel::native {

class SetupProcess {
 public:
  // Starts `program` with `arguments` (each quoted as the command line needs)
  // in `workingFolder`. `added` ("NAME=value" entries) goes into its
  // environment after the script variables were dropped, so that a script
  // given there is used. Check started() before using it.
  SetupProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
               const std::wstring& workingFolder, const std::vector<std::wstring>& added = {});
  ~SetupProcess();
  SetupProcess(const SetupProcess&) = delete;
  SetupProcess& operator=(const SetupProcess&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD id() const { return id_; }
  // Whether the process ended within `limit`.
  bool waitForExit(Millis limit) const;
  bool running() const;
  // The exit code of an ended process.
  DWORD exitCode() const;

  // Its visible top-level window with this caption, waited for.
  HWND window(const std::wstring& caption, Millis limit = 20s) const { return waitForWindow(id_, caption, limit); }
  // Its next dialog box (message box, file or folder dialog), waited for.
  HWND dialog(Millis limit = 20s) const { return waitForDialog(id_, limit); }

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// The command line of a program and its arguments, each quoted so that the
// program gets it back unchanged.
std::wstring commandLine(const std::wstring& program, const std::vector<std::wstring>& arguments);

}  // namespace orvel::native
