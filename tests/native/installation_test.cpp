// Installation in each of the three ways through the setup window, then the
// uninstallation with the installed copy of Setup.exe, whose batch file
// removes that copy once the program has ended.
#include <shlobj.h>

#include <algorithm>

#include "tests/native/layout.h"
#include "tests/native/machine.h"
#include "tests/native/native_run.h"

namespace orvel::native {
namespace {

constexpr auto kJobLimit = 60s;  // one installation or uninstallation
constexpr UINT kAnsiCodePage = 1252;

const std::wstring kSavedLogLine = L"Speichere Installationsablauf in ";
const std::wstring kRegistryLine = L"Lösche Registry-Einträge";

std::wstring desktopLink() { return shellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"OrvelDraw.lnk"; }
std::wstring menuLink() { return shellFolder(CSIDL_COMMON_STARTMENU) + L"Programs\\OrvelDraw.lnk"; }

bool contains(const std::vector<std::wstring>& lines, const std::wstring& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class InstallationRun : public NativeRun {
 protected:
  // Presses Installieren and waits until the log window shows the whole run,
  // ending with the line that names the saved install.txt.
  void install(const SetupProcess& setup, const SetupWindow& w, LogWindow& log) {
    click(w.BInstall);
    log = findLogWindow(setup.window(caption::kLog, kJobLimit));
    ASSERT_EQ(log.missing(), "") << describeWindows(setup.id());
    ASSERT_TRUE(waitUntil([&] { return memoHasLineStarting(log.MInstallation, kSavedLogLine); }, kJobLimit))
        << describeWindows(setup.id());
  }

  // The log window's button: the installed application is started and the
  // program ends.
  void finish(const SetupProcess& setup, const LogWindow& log) {
    click(log.BClose);
    ASSERT_TRUE(setup.waitForExit(20s)) << "the log window's button ends the program; " << describeWindows(setup.id());
    EXPECT_EQ(setup.exitCode(), 0u);
    EXPECT_TRUE(waitForTheApplicationToEnd());
  }

  // Uninstalls with the copy of Setup.exe in `target` and presses the log
  // window's button; the lines the log window showed.
  std::vector<std::wstring> uninstall(const std::wstring& target) {
    auto setup = start(target + L"Setup.exe");
    const SetupWindow w = setupWindowOf(*setup);
    if (!w.BDeinstall) return {};
    click(w.BDeinstall);
    const LogWindow log = findLogWindow(setup->window(caption::kLog, kJobLimit));
    EXPECT_EQ(log.missing(), "") << describeWindows(setup->id());
    if (!log.MInstallation) return {};
    EXPECT_TRUE(waitUntil([&] { return memoHasLineStarting(log.MInstallation, kRegistryLine); }, kJobLimit))
        << describeWindows(setup->id());
    const std::vector<std::wstring> lines = memoLines(log.MInstallation);
    click(log.BClose);
    EXPECT_TRUE(setup->waitForExit(20s)) << describeWindows(setup->id());
    // The batch file deletes the program once it has ended.
    EXPECT_TRUE(waitUntil([&] { return !fileExists(target + L"Setup.exe"); }, 30s)) << "RunOrvel.bat did not run";
    return lines;
  }

  // What every way installs from the distribution, and the saved log: the
  // log window's lines in the ANSI code page, each ended by CR LF.
  void expectInstalled(const std::wstring& target, const LogWindow& log) {
    EXPECT_EQ(readBytes(target + L"OrvelDraw.exe"), readBytes(dist() + L"OrvelDraw.exe"));
    EXPECT_EQ(readBytes(target + L"Setup.exe"), readBytes(dist() + L"Setup.exe"));
    EXPECT_EQ(filesIn(target + L"languages", L"*"), filesIn(dist() + L"languages", L"*.ini"));
    EXPECT_EQ(filesIn(target + L"templates"), filesIn(dist() + L"templates"));
    EXPECT_EQ(filesIn(target + L"styles"), filesIn(dist() + L"styles"));

    const std::vector<std::wstring> shown = memoLines(log.MInstallation);
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown[0], L"Orvel-Draw Installation");
    EXPECT_EQ(shown[1], L"");
    EXPECT_TRUE(contains(shown, L"Kopiere " + dist() + L"OrvelDraw.exe nach " + target + L"OrvelDraw.exe"));
    EXPECT_EQ(shown.back(), kSavedLogLine + target + L"install.txt");
    EXPECT_EQ(crlfLines(target + L"install.txt", kAnsiCodePage), shown);
  }

  // Listed in Apps & features, in the 32-bit view as a 32-bit program's
  // entry: the values Windows shows, and a command that starts the
  // installed Setup.exe, whose window offers the uninstallation.
  void expectAppsEntry(const std::wstring& target, const std::vector<std::wstring>& shown) {
    auto value = [](const wchar_t* name) { return readString(HKEY_LOCAL_MACHINE, kAppsEntryKey, name, kView32); };
    EXPECT_EQ(value(L"DisplayName"), L"Orvel-Draw");
    EXPECT_EQ(value(L"InstallLocation"), target);
    EXPECT_EQ(value(L"UninstallString"), L"\"" + target + L"Setup.exe\"");
    EXPECT_EQ(value(L"DisplayIcon"), target + L"Setup.exe");
    EXPECT_NE(value(L"DisplayVersion").value_or(L""), L"");
    EXPECT_NE(value(L"Publisher").value_or(L""), L"");
    const auto kib = readDword(HKEY_LOCAL_MACHINE, kAppsEntryKey, L"EstimatedSize", kView32);
    ASSERT_TRUE(kib.has_value());
    EXPECT_GE(*kib * 1024, readBytes(target + L"Setup.exe").size() + readBytes(target + L"OrvelDraw.exe").size());
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kAppsEntryKey, L"NoModify", kView32), 1u);
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kAppsEntryKey, L"NoRepair", kView32), 1u);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kAppsEntryKey, kView64)) << "a 32-bit program's entry";
    EXPECT_TRUE(contains(shown, L"Erzeuge Eintrag in Apps & Features HKEY_LOCAL_MACHINE\\" + kAppsEntryKey));
  }

  // What every uninstallation removes from the installation folder.
  void expectUninstalled(const std::wstring& target, const std::vector<std::wstring>& lines) {
    EXPECT_TRUE(contains(lines, L"Lösche Programm " + target + L"OrvelDraw.exe"));
    EXPECT_EQ(lines.back(), kRegistryLine);
    for (const wchar_t* name : {L"OrvelDraw.exe", L"install.txt", L"ODMachine.INI", L"OrvelDraw.lnk"})
      EXPECT_FALSE(fileExists(target + name)) << utf8(name);
    for (const wchar_t* name : {L"languages", L"templates", L"styles"}) EXPECT_FALSE(folderExists(target + name));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\OrvelDraw", kView32));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kAppsEntryKey, kView32));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, L"Software\\OrvelDraw", 0));
  }
};

// Registry: the default way, with every choice as the window offers it:
// the 32-bit programs folder, both shortcuts and one in the installation
// folder, the configuration in the 32-bit view of the machine's registry.
TEST_F(InstallationRun, IntoTheRegistryThenUninstalled) {
  const std::wstring target = shellFolder(CSIDL_PROGRAM_FILESX86) + L"OrvelDraw\\";
  claimFolder(target);
  auto setup = startDistSetup();
  const SetupWindow w = setupWindowOf(*setup);
  ASSERT_EQ(w.missing(), "");
  ASSERT_EQ(textOf(w.EFolder), target);
  ASSERT_TRUE(isChecked(w.RegistryItem));
  LogWindow log;
  ASSERT_NO_FATAL_FAILURE(install(*setup, w, log));
  expectLogLayout(log);
  screenshot(log.form, "log-window");

  expectInstalled(target, log);
  const std::vector<std::wstring> shown = memoLines(log.MInstallation);
  EXPECT_TRUE(contains(shown, L"Erzeuge Desktop-Verknüpfung " + desktopLink()));
  EXPECT_TRUE(contains(shown, L"Erzeuge Eintrag ins Programme-Menü " + menuLink()));
  EXPECT_TRUE(contains(shown, L"Erzeuge zusätzliche Desktop-Verknüpfung für den Orvel-Draw im Ordner " + target));
  for (const std::wstring& link : {desktopLink(), menuLink(), target + L"OrvelDraw.lnk"})
    EXPECT_EQ(shortcutTarget(link), target + L"OrvelDraw.exe") << utf8(link);
  EXPECT_FALSE(fileExists(target + L"ODMachine.INI"));
  // A German user: the built-in texts, no language file.
  EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, L"Software\\OrvelDraw\\Orvel", L"Language", kView32), L"");
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, L"Software\\OrvelDraw\\Orvel", L"PortableApplication", kView32), 0u);
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\OrvelDraw", kView64)) << "a 32-bit program's key";
  expectAppsEntry(target, shown);
  ASSERT_NO_FATAL_FAILURE(finish(*setup, log));

  const std::vector<std::wstring> removed = uninstall(target);
  expectUninstalled(target, removed);
  EXPECT_TRUE(contains(removed, L"Lösche Desktop-Verknüpfung " + desktopLink()));
  EXPECT_FALSE(fileExists(desktopLink()));
  EXPECT_FALSE(fileExists(menuLink())) << "read to find the installation, then left";
  EXPECT_TRUE(waitUntil([&] { return !folderExists(target); }, 10s)) << "the emptied folder goes with the program";
}

// INI files: the installation folder chosen in the folder dialog, a
// user-settings folder with the user-name placeholder, no shortcuts.
TEST_F(InstallationRun, IntoIniFilesThenUninstalled) {
  const std::wstring userFolderText = folder() + L"Einstellungen für %Username%";
  const std::wstring userFolder = folder() + L"Einstellungen für " + userName() + L"\\";
  auto setup = startDistSetup();
  const SetupWindow w = setupWindowOf(*setup);
  ASSERT_EQ(w.missing(), "");
  click(w.SBOrdner);
  HWND dialog = setup->dialog();
  ASSERT_NE(dialog, nullptr) << "the folder dialog";
  answerFolderDialog(dialog, folder());
  ASSERT_TRUE(waitUntil([&] { return textOf(w.EFolder) == folder() + L"OrvelDraw\\"; }, 10s))
      << utf8(textOf(w.EFolder));
  const std::wstring target = folder() + L"OrvelDraw\\";
  click(w.IniItem);
  ASSERT_TRUE(waitUntil([&] { return isEnabled(w.EUserfolder); }, 5s));
  typeInto(w.EUserfolder, userFolderText);
  ASSERT_TRUE(setChecked(w.CBStartmenu, false));
  ASSERT_TRUE(setChecked(w.CBDesktopSymbol, false));
  LogWindow log;
  ASSERT_NO_FATAL_FAILURE(install(*setup, w, log));

  expectInstalled(target, log);
  EXPECT_TRUE(folderExists(userFolder)) << "made with the user's name in place of the placeholder";
  const std::wstring ini = target + L"ODMachine.INI";
  EXPECT_EQ(iniSections(ini), (std::vector<std::wstring>{L"User", L"Orvel"}));
  EXPECT_EQ(iniSection(ini, L"User"), (std::vector<std::wstring>{L"HomeDir=" + userFolderText + L"\\"}));
  EXPECT_EQ(iniSection(ini, L"Orvel"), (std::vector<std::wstring>{L"Language=", L"PortableApplication=0"}));
  EXPECT_EQ(textOf(w.EUserfolder), userFolderText + L"\\");
  EXPECT_FALSE(fileExists(desktopLink()));
  EXPECT_FALSE(fileExists(menuLink()));
  EXPECT_TRUE(fileExists(target + L"OrvelDraw.lnk")) << "not portable: a shortcut in the installation folder";
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\OrvelDraw", kView32));
  ASSERT_NO_FATAL_FAILURE(finish(*setup, log));

  // The application has kept its settings there meanwhile.
  const std::string settings = "[Fenster]\r\nBreite=800\r\n";
  HANDLE file = CreateFileW((userFolder + L"ODUser.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, settings.data(), static_cast<DWORD>(settings.size()), &written, nullptr);
  CloseHandle(file);

  const std::vector<std::wstring> removed = uninstall(target);
  expectUninstalled(target, removed);
  EXPECT_TRUE(contains(removed, L"Lösche Konfigurationsdatei " + userFolder + L"ODUser.ini"));
  EXPECT_FALSE(fileExists(userFolder + L"ODUser.ini"));
  EXPECT_TRUE(folderExists(userFolder)) << "the user-settings folder itself stays";
  EXPECT_TRUE(waitUntil([&] { return !folderExists(target); }, 10s));
}

// Portable: everything below the installation folder, paths relative to it,
// no administrator question and no shortcut in the folder.
TEST_F(InstallationRun, PortableThenUninstalled) {
  const std::wstring target = folder() + L"USB-Stick\\OrvelDraw\\";
  auto setup = startDistSetup();
  const SetupWindow w = setupWindowOf(*setup);
  ASSERT_EQ(w.missing(), "");
  typeInto(w.EFolder, target);
  ASSERT_TRUE(setChecked(w.CBPortableApplication, true));
  ASSERT_TRUE(waitUntil([&] { return isChecked(w.IniItem) && !isEnabled(w.EUserfolder); }, 5s));
  EXPECT_EQ(textOf(w.EUserfolder), target + L"Data\\");
  ASSERT_TRUE(setChecked(w.CBStartmenu, false));
  ASSERT_TRUE(setChecked(w.CBDesktopSymbol, false));
  LogWindow log;
  ASSERT_NO_FATAL_FAILURE(install(*setup, w, log));

  expectInstalled(target, log);
  for (const wchar_t* name : {L"App\\Cache", L"App\\Temp", L"Orvel", L"Data"})
    EXPECT_TRUE(folderExists(target + name)) << utf8(name);
  const std::wstring ini = target + L"ODMachine.INI";
  EXPECT_EQ(iniSection(ini, L"User"), (std::vector<std::wstring>{L"HomeDir=Data"}));
  EXPECT_EQ(iniSection(ini, L"Orvel"), (std::vector<std::wstring>{L"Language=", L"PortableApplication=1"}));
  EXPECT_FALSE(fileExists(target + L"OrvelDraw.lnk"));
  EXPECT_FALSE(fileExists(desktopLink()));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kAppsEntryKey, kView32)) << "no trace in the registry";
  ASSERT_NO_FATAL_FAILURE(finish(*setup, log));

  expectUninstalled(target, uninstall(target));
  // The folders of the portable installation keep the folder in place.
  EXPECT_TRUE(folderExists(target + L"Data"));
}

// An empty installation folder is refused in an error box before anything
// is done; the log window does not show.
TEST_F(InstallationRun, EmptyFolderIsRefusedInAnErrorBox) {
  auto setup = startDistSetup();
  const SetupWindow w = setupWindowOf(*setup);
  ASSERT_EQ(w.missing(), "");
  typeInto(w.EFolder, L"");
  click(w.BInstall);
  HWND box = setup->dialog();
  ASSERT_NE(box, nullptr) << describeWindows(setup->id());
  const MessageBoxSeen seen = readMessageBox(box);
  EXPECT_EQ(seen.title, L"Fehler");
  EXPECT_EQ(seen.text, L"Bitte Installationsordner angeben.");
  EXPECT_EQ(seen.buttons, (std::vector<std::wstring>{L"OK"}));
  screenshot(box, "message-box");
  ASSERT_TRUE(pressButton(box, L"OK"));
  EXPECT_TRUE(waitUntil([&] { return !IsWindow(box); }, 5s));
  EXPECT_EQ(findWindow(setup->id(), caption::kLog), nullptr);
  click(w.BClose);
  EXPECT_TRUE(setup->waitForExit(20s));
}

}  // namespace
}  // namespace orvel::native
