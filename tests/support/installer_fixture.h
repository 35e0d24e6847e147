// What the installer's scenario tests share: a distribution folder in the
// case's scratch folder, the program's windows with that distribution's
// Setup.exe as the running setup program, and the log lines that a run
// writes, built from the same pieces the user sees.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/log_window.h"
#include "common/shell_link.h"
#include "platform/files.h"
#include "platform/system.h"
#include "setup/setup_window.h"
#include "tests/support/machine_state.h"
#include "tests/support/scripted_windows.h"
#include "tests/support/test_machine.h"

namespace orvel::test {

using MachineIni = std::map<std::string, std::string>;

inline FileSet standardDistribution() {
  return {
      {u"OrvelDraw.exe", "the application"},
      {u"Setup.exe", "the setup program"},
      {u"languages\\english.ini", "[Setup]\r\nLNGDelete=Delete\r\n"},
      {u"languages\\dutch.ini", "[Setup]\r\n"},
      {u"languages\\readme.txt", "not a language file"},
      {u"templates\\letter.odt", "template 1"},
      {u"templates\\Vorlage ohne Punkt", "template 2"},
      {u"styles\\dark.css", "body{}"},
      {u"styles\\more\\deep.css", "a deeper style"},
  };
}

// A shortcut read back through the shell link object.
struct Shortcut {
  Str program;
  Str workingDirectory;
};
inline std::optional<Shortcut> readShortcut(const Str& path) {
  if (!files::fileExists(path)) return std::nullopt;
  TShellLink link;
  link.LinkFile = path;
  link.Read();
  return Shortcut{link.ProgramFile, link.WorkingDirectory};
}

// One case of the installer: a fresh machine, a distribution in
// <scratch>dist\, the windows with its Setup.exe as the running program, and
// the installation folder <scratch>OrvelDraw\ typed into the setup window.
// The machine-wide shortcut folders are shared by every case under Wine, so
// the shortcuts there are removed before and after.
class InstallerCase {
 public:
  explicit InstallerCase(const MachineIni& machineIni = {},
                         const FileSet& distribution = standardDistribution())
      : machine_(machineIni) {
    writeFiles(dist(), distribution);
    start(dist() + u"Setup.exe");
    removeSharedShortcuts();
  }
  ~InstallerCase() { removeSharedShortcuts(); }

  TestMachine& machine() { return machine_; }
  ScriptedWindows& w() { return *windows_; }
  Str scratch() const { return machine_.scratch(); }
  Str dist() const { return machine_.scratch() + u"dist\\"; }
  Str target() const { return machine_.scratch() + u"OrvelDraw\\"; }

  // The windows again, with another running setup program (an installed
  // copy that uninstalls); the log and the window's fields start afresh as
  // in a new process.
  void start(const Str& setupProgram) {
    windows_.reset();
    windows_ = std::make_unique<ScriptedWindows>(setupProgram);
    FSetup->show();
    windows_->act("set FSetup.EFolder " + toUtf8(target()));
    windows_->take();
  }

  // Clicks a button; `answers` are script lines for the boxes it shows.
  std::vector<std::string> click(const std::string& control, const std::string& answers = "") {
    windows_->take();
    if (!answers.empty()) windows_->addActions(answers);
    windows_->act("click " + control);
    return windows_->take();
  }
  std::vector<std::string> install(const std::string& answers = "") { return click("FSetup.BInstall", answers); }
  std::vector<std::string> uninstall(const std::string& answers = "") { return click("FSetup.BDeinstall", answers); }

  // The log window's lines after its two initial ones.
  std::vector<Str> logLines() const {
    const std::vector<Str>& all = FMemo->MInstallation->lines();
    if (all.size() < 2) return all;
    return std::vector<Str>(all.begin() + 2, all.end());
  }

  Str desktopShortcut() const { return FSetup->DesktopVerzeichnis + u"OrvelDraw.lnk"; }
  Str startMenuShortcut() const { return FSetup->StartmenueProgrammeVerzeichnis + u"OrvelDraw.lnk"; }

 private:
  void removeSharedShortcuts() {
    if (!FSetup || TestMachine::emulated()) return;
    (void)files::deleteFile(desktopShortcut());
    (void)files::deleteFile(startMenuShortcut());
    (void)files::deleteFile(FSetup->StartmenueProgrammeVerzeichnis + u"OrvelDraw\\OrvelDraw.lnk");
    (void)files::removeDirectory(FSetup->StartmenueProgrammeVerzeichnis + u"OrvelDraw");
  }

  TestMachine machine_;
  std::unique_ptr<ScriptedWindows> windows_;
};

// The lines a successful installation writes from the copy of the
// application to the shortcuts, with the default German texts, for the
// standard distribution installed from `src` into `dest`.
inline std::vector<Str> copyLines(const Str& src, const Str& dest) {
  std::vector<Str> lines;
  auto copy = [&](const Str& name) { lines.push_back(u"Kopiere " + src + name + u" nach " + dest + name); };
  copy(u"OrvelDraw.exe");
  const std::pair<const char16_t*, const char16_t*> folders[] = {
      {u"languages", u"*.ini"}, {u"templates", u"*.*"}, {u"styles", u"*.*"}};
  for (const auto& [folder, pattern] : folders) {
    const std::vector<Str> names = listed(src + folder + u"\\" + pattern);
    if (names.empty()) continue;
    lines.push_back(u"create directory: " + dest + folder);
    for (const Str& name : names) copy(Str(folder) + u"\\" + name);
  }
  copy(u"Setup.exe");
  return lines;
}

// The installation's entry in Apps & features, below HKEY_LOCAL_MACHINE, and
// the line that tells of it with the German texts.
inline const Str kAppsEntryKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvelDraw";
inline Str appsEntryLine() { return u"Erzeuge Eintrag in Apps & Features HKEY_LOCAL_MACHINE\\" + kAppsEntryKey; }

inline void append(std::vector<Str>& lines, const std::vector<Str>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
}

// The bytes of install.txt for these log lines: the two initial lines first,
// ANSI text, CR LF after every line.
inline std::string installLogBytes(const std::vector<Str>& lines) {
  return "Orvel-Draw Installation\r\n\r\n" + ansiLines(lines);
}

}  // namespace orvel::test
