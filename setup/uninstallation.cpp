// The uninstallation: removes the shortcuts, the settings files and the
// machine INI file, the application's files and folders in the folder of the
// running setup program, and the program's registry keys, then writes the
// batch file that deletes the setup program once it has ended.
#include "common/error.h"
#include "common/fmx_utils.h"
#include "common/format.h"
#include "common/installation_layout.h"
#include "common/log_window.h"
#include "common/registry_access.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "setup/apps_registration.h"
#include "setup/folder_paths.h"
#include "setup/setup_window.h"

namespace orvel {
namespace {

// What the INI service answers for a machine INI file without "HomeDir".
const Str kNoHomeDir = u"<nix>";
// FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT: to the recycle bin, asking nothing.
constexpr uint16_t kRecycleQuietly = 0x54;

bool hasDriveLetter(const Str& path) { return path.size() >= 2 && path[1] == u':'; }

// `path` with "." and ".." steps resolved, so that "..\Lang" names the
// folder the application means, not a folder beside the current one.
Str withoutDotSteps(const Str& volume, const Str& rest) {
  std::vector<Str> kept;
  for (const Str& step : SplitString(u'\\', rest)) {
    if (step.empty() || step == u".") continue;
    if (step == u"..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(step);
  }
  Str result = volume;
  for (const Str& step : kept) result += u"\\" + step;
  return result.empty() ? Str(u"\\") : result;
}

// The application reads a relative "HomeDir" (a portable installation writes
// "Data") against the folder of the machine INI file, so the uninstallation
// must do the same, or it would delete settings files of another folder.
Str resolveAgainst(const Str& folder, const Str& path) {
  if (IsAbsolutePath(path)) return path;
  if (hasDriveLetter(path)) return path;  // "D:x" names another drive's current folder: leave it to the system
  const Str volume = ExtractFileDrive(folder);
  if (path.starts_with(u'\\')) return withoutDotSteps(volume, path);
  return withoutDotSteps(volume, folder.substr(volume.size()) + u"\\" + path);
}

}  // namespace

void TFSetup::BDeinstallClick(gui::Object*) {
  if (!CBPortableApplication->checked() && !IsAdministrator() &&
      application().messageBox(gui::MessageKind::Warning, LNGNoAdministrator, {gui::Button::Yes, gui::Button::No}) !=
          gui::Button::Yes)
    return;
  // The folder that the shortcuts point to may hold the settings' machine INI file.
  ShellLink->LinkFile = DesktopVerzeichnis + layout::kShortcutFile;
  ShellLink->Read();
  NachDir = ExtractFilePath(ShellLink->ProgramFile);
  if (NachDir.empty()) {
    ShellLink->LinkFile = StartmenueProgrammeVerzeichnis + layout::kShortcutFile;
    ShellLink->Read();
    NachDir = ExtractFilePath(ShellLink->ProgramFile);
  }
  FMemo->Installation = 1;
  FMemo->show();

  RemoveFile(LNGDesktopLink, DesktopVerzeichnis + layout::kShortcutFile);
  RemoveFile(LNGItemInProgramMenu, StartmenueProgrammeVerzeichnis + layout::kProductFolder + u"\\" + layout::kShortcutFile);
  // The installation writes its Start-menu item straight into the Programs
  // folder; it must not outlive the program it starts.
  RemoveFile(LNGItemInProgramMenu, StartmenueProgrammeVerzeichnis + layout::kShortcutFile);
  (void)files::removeDirectory(StartmenueProgrammeVerzeichnis + layout::kProductFolder);
  if (!NachDir.empty()) RemoveUserSettings(NachDir);

  // The installation is the folder of the running setup program.
  NachDir = OwnFolder();
  RemoveUserSettings(NachDir);
  RemoveFiles(NachDir + layout::kLanguageFolder + u"\\", u"*.ini");
  RemoveDir(NachDir + layout::kLanguageFolder);
  RemoveFiles(NachDir + layout::kTemplateFolder + u"\\", u"*.ini");
  RemoveDir(NachDir + layout::kTemplateFolder);
  RemoveFiles(NachDir + layout::kStyleFolder + u"\\", u"*.*");
  RemoveDir(NachDir + layout::kStyleFolder);
  RemoveFile(LNGDesktopLink, NachDir + layout::kShortcutFile);
  RemoveFile(LNGInstallationProcess, NachDir + layout::kInstallLog);
  RemoveFile(LNGProgram, NachDir + layout::kApplicationFile);
  RemoveFile(u"", NachDir + u"unins000.dat");
  RemoveFile(u"", NachDir + u"unins000.exe");
  RemoveDir(NachDir + layout::kTemplateFolder);

  FMemo->GibAus(LNGDelete + u" " + u"Registry-Einträge");
  RemoveRegistryEntries();
  UnregisterFromApps(NachDir);
  SetupLoeschen();
}

void TFSetup::RemoveFile(const Str& What, const Str& Path) {
  if (!files::fileExists(Path)) return;
  FMemo->GibAus(LNGDelete + u" " + What + u" " + Path);
  const uint32_t attributes = files::getAttributes(Path);
  if (attributes != files::kInvalidAttributes && (attributes & files::kReadOnly))
    (void)files::setAttributes(Path, 0);
  if (!files::deleteFile(Path)) FMemo->GibAus(Format(LNGCanNotDelete, {Path}));
}

void TFSetup::RemoveUserSettings(const Str& folder) {
  const Str installation = IncludeTrailingBackslash(folder);
  const Str machineIni = installation + layout::kMachineIniFileRemoved;
  if (!files::fileExists(machineIni)) return;
  const Str homeDir = profile::readString(machineIni, u"User", u"HomeDir", kNoHomeDir);
  if (homeDir != kNoHomeDir) {
    const Str home = IncludeTrailingBackslash(resolveAgainst(installation, ReplaceUsername(homeDir)));
    for (const char16_t* name : layout::kSettingsFiles) RemoveFile(LNGConfigurationfile, home + name);
  }
  RemoveFile(LNGConfigurationfile, machineIni);
}

void TFSetup::RemoveFiles(const Str& Path, const Str& Filter) {
  for (const files::FindEntry& entry : files::findFiles(Path + Filter)) {
    if (!IsPlainFile(entry)) continue;
    try {
      RemoveFile(LNGDelete, Path + entry.name);
    } catch (const Error&) {
      // One file that cannot be handled (a language text that does not fit
      // its message) does not keep the others; each file stands alone.
    }
  }
}

void TFSetup::RemoveDir(const Str& Path) {
  // A folder that stays is no reason to stop the uninstallation: nothing
  // else depends on it being gone.
  (void)shell::deleteToRecycleBin(Path, kRecycleQuietly);
}

void TFSetup::RemoveRegistryEntries() {
  RegistryAccess registry(reg::kKeyAllAccess);
  registry.SetRootKey(reg::Root::CurrentUser);
  DeleteKeyTree(registry, layout::kSettingsKey);
  registry.SetRootKey(reg::Root::LocalMachine);
  DeleteKeyTree(registry, layout::kSettingsKey);
  registry.SetRootKey(reg::Root::ClassesRoot);
  DeleteKeyTree(registry, Str(u"\\") + layout::kFileClass);
  // The classes root shows the user's file class over the machine's, so a
  // file class in both places would survive the line above in one of them.
  for (reg::Root root : {reg::Root::CurrentUser, reg::Root::LocalMachine}) {
    registry.SetRootKey(root);
    DeleteKeyTree(registry, layout::kFileClassKey);
  }
  registry.CloseKey();
}

void TFSetup::DeleteKeyTree(RegistryAccess& registry, const Str& Key) {
  if (registry.OpenKey(Key, false))
    for (const Str& name : registry.GetKeyNames()) DeleteKeyTree(registry, Key + u"\\" + name);
  if (registry.OpenKey(Key, false))
    for (const Str& name : registry.GetValueNames()) registry.DeleteValue(name);
  registry.CloseKey();
  registry.DeleteKey(Key);
}

}  // namespace orvel
