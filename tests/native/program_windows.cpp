#include "tests/native/program_windows.h"

#include "tests/native/machine.h"

namespace orvel::native {
namespace {

constexpr wchar_t kContainerClass[] = L"OrvelContainer";
constexpr wchar_t kPictureButtonClass[] = L"OrvelPictureButton";

HWND nth(const std::vector<HWND>& list, size_t index) { return index < list.size() ? list[index] : nullptr; }

std::string missingOf(const std::vector<Named>& controls) {
  std::string names;
  for (const Named& control : controls)
    if (!control.hwnd) names += (names.empty() ? "" : ", ") + std::string(control.name);
  return names;
}

// The container that holds a radio button with this caption.
HWND groupOf(HWND item) { return item ? GetParent(item) : nullptr; }

}  // namespace

std::vector<Named> SetupWindow::controls() const {
  return {{"LFolder", LFolder},         {"EFolder", EFolder},
          {"SBOrdner", SBOrdner},       {"BInstall", BInstall},
          {"RGRegOrIni", RGRegOrIni},   {"BDeinstall", BDeinstall},
          {"CBStartmenu", CBStartmenu}, {"CBDesktopSymbol", CBDesktopSymbol},
          {"BLanguage", BLanguage},     {"CBPortableApplication", CBPortableApplication},
          {"LHint1", LHint1},           {"BClose", BClose},
          {"LHint2", LHint2},           {"EUserfolder", EUserfolder},
          {"SBUserIni", SBUserIni}};
}

std::string SetupWindow::missing() const {
  std::vector<Named> all = controls();
  all.push_back({"RegistryItem", RegistryItem});
  all.push_back({"IniItem", IniItem});
  return form ? missingOf(all) : "the window";
}

SetupWindow findSetupWindow(HWND form) {
  SetupWindow w;
  w.form = form;
  if (!form) return w;
  // The two folder fields and their picture buttons, top to bottom.
  const std::vector<HWND> edits = controlsOfClass(form, L"Edit");
  const std::vector<HWND> pictures = controlsOfClass(form, kPictureButtonClass);
  w.EFolder = nth(edits, 0);
  w.EUserfolder = nth(edits, 1);
  w.SBOrdner = nth(pictures, 0);
  w.SBUserIni = nth(pictures, 1);
  w.LFolder = findControl(form, L"Static", L"Installationsorder - lokal oder im Netz");
  w.LHint1 = findControl(form, L"Static", L"Ordner zur Speicherung benutzerspezifischer Einstellungen");
  w.LHint2 = findControl(form, L"Static", L"Permanentes Schreibrecht für Benutzer, %Username% im Pfad möglich");
  w.BInstall = findControl(form, L"Button", L"Installieren");
  w.BDeinstall = findControl(form, L"Button", L"Deinstallieren");
  w.BLanguage = findControl(form, L"Button", L"Language");
  w.BClose = findControl(form, L"Button", L"Beenden");
  w.CBStartmenu = findControl(form, L"Button", L"Eintrag in das Startmenü erzeugen");
  w.CBDesktopSymbol = findControl(form, L"Button", L"Desktop-Symbol erzeugen");
  w.CBPortableApplication = findControl(form, L"Button", L"Portable Anwendung / USB-Stick");
  w.RegistryItem = findControl(form, L"Button", L"in Registry speichern");
  w.IniItem = findControl(form, L"Button", L"in INI-Dateien speichern");
  w.RGRegOrIni = groupOf(w.RegistryItem);
  if (w.RGRegOrIni && classOf(w.RGRegOrIni) != kContainerClass) w.RGRegOrIni = nullptr;
  return w;
}

std::string LogWindow::missing() const {
  return form ? missingOf({{"MInstallation", MInstallation}, {"BClose", BClose}}) : "the window";
}

LogWindow findLogWindow(HWND form, const std::wstring& closeCaption) {
  LogWindow w;
  w.form = form;
  if (!form) return w;
  w.MInstallation = nth(controlsOfClass(form, L"Edit"), 0);
  w.BClose = findControl(form, L"Button", closeCaption);
  return w;
}

std::string UpdaterWindow::missing() const {
  return form ? missingOf({{"Memo", Memo}, {"Panel1", Panel1}, {"BOK", BOK}, {"BRetry", BRetry}}) : "the window";
}

UpdaterWindow findUpdaterWindow(HWND form) {
  UpdaterWindow w;
  w.form = form;
  if (!form) return w;
  w.Memo = nth(controlsOfClass(form, L"Edit"), 0);
  w.Panel1 = nth(controlsOfClass(form, kContainerClass), 0);
  w.BOK = findControl(form, L"Button", L"OK");
  w.BRetry = findControl(form, L"Button", L"Retry");
  return w;
}

WaitWindow findWaitWindow(HWND form) {
  WaitWindow w;
  w.form = form;
  if (form) w.Label1 = findControl(form, L"Static", L"Please wait!");
  return w;
}

std::vector<std::wstring> memoLines(HWND memo) { return splitLines(textOf(memo)); }

bool memoHasLineStarting(HWND memo, const std::wstring& start) {
  for (const std::wstring& line : memoLines(memo))
    if (line.rfind(start, 0) == 0) return true;
  return false;
}

}  // namespace orvel::native
