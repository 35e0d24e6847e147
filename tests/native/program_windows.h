// Setup.exe's windows as a user finds them on the screen: by their German
// captions, and the fields without a caption by their class and place.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/native/desktop.h"

namespace orvel::native {

namespace caption {
inline const std::wstring kSetup = L"Setup für Orvel-Draw";
inline const std::wstring kLog = L"Installation";
inline const std::wstring kUpdater = L"Orvel-Draw-Updater";
// The wait window has no title bar; its caption is never shown.
inline const std::wstring kWait = L"Fwait";
}  // namespace caption

// A control found for a name, for messages and the layout check.
struct Named {
  const char* name;
  HWND hwnd;
};

struct SetupWindow {
  HWND form = nullptr;
  HWND LFolder = nullptr, EFolder = nullptr, SBOrdner = nullptr, BInstall = nullptr;
  HWND RGRegOrIni = nullptr, RegistryItem = nullptr, IniItem = nullptr;
  HWND BDeinstall = nullptr, CBStartmenu = nullptr, CBDesktopSymbol = nullptr, BLanguage = nullptr;
  HWND CBPortableApplication = nullptr, LHint1 = nullptr, BClose = nullptr, LHint2 = nullptr;
  HWND EUserfolder = nullptr, SBUserIni = nullptr;

  // Every control, by its name.
  std::vector<Named> controls() const;
  // The names of the controls that were not found (empty when all were).
  std::string missing() const;
};
// The setup window's controls by their German captions.
SetupWindow findSetupWindow(HWND form);

struct LogWindow {
  HWND form = nullptr;
  HWND MInstallation = nullptr, BClose = nullptr;
  std::string missing() const;
};
// `closeCaption`: the button's caption ("Schließen" unless a language file changed it).
LogWindow findLogWindow(HWND form, const std::wstring& closeCaption = L"Schließen");

struct UpdaterWindow {
  HWND form = nullptr;
  HWND Memo = nullptr, Panel1 = nullptr, BOK = nullptr, BRetry = nullptr;
  std::string missing() const;
};
UpdaterWindow findUpdaterWindow(HWND form);

struct WaitWindow {
  HWND form = nullptr;
  HWND Label1 = nullptr;
};
WaitWindow findWaitWindow(HWND form);

// The lines of a memo (a multi-line edit field) as the user sees them.
std::vector<std::wstring> memoLines(HWND memo);
// Whether a memo holds a line that starts with `start`.
bool memoHasLineStarting(HWND memo, const std::wstring& start);

}  // namespace orvel::native
