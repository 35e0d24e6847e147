// The installation's layout: the names of the files, folders and registry
// keys that the setup program, the updater and the application agree on.
// Stored installations and the application rely on every one of them, so a
// value never changes. Windows compares all of them case-insensitively.
// They are compile-time texts: a Str here would be made at start-up and torn
// down at exit in every file that includes the header.
#pragma once

#include <string_view>

#include "platform/types.h"

namespace orvel::layout {

// The product's own folder: below Program Files, the user's AppData and
// the Start menu's Programs.
inline constexpr char16_t kProductFolder[] = u"OrvelDraw";

// Files in the installation folder.
inline constexpr char16_t kApplicationFile[] = u"OrvelDraw.exe";  // the drawing application
inline constexpr char16_t kSetupFile[] = u"Setup.exe";            // the setup program, which also uninstalls
inline constexpr char16_t kShortcutFile[] = u"OrvelDraw.lnk";     // the desktop and Start-menu shortcut
inline constexpr char16_t kMachineIniFile[] = u"ODMachine.INI";   // the configuration when settings go into INI files
// The uninstallation looks for the machine INI file under this spelling and
// logs its removal so; on Windows it names the same file as kMachineIniFile.
inline constexpr char16_t kMachineIniFileRemoved[] = u"ODMachine.ini";
inline constexpr char16_t kInstallLog[] = u"install.txt";  // the installation's log
inline constexpr char16_t kUpdateLog[] = u"update.txt";    // the updater's log

// The user's settings files, in the folder that "HomeDir" names.
inline constexpr const char16_t* kSettingsFiles[] = {u"ODUser.ini", u"ODOrvelCol.ini", u"ODHTMLCol.ini"};

// Subfolders of the installation folder (and of the distribution).
inline constexpr char16_t kLanguageFolder[] = u"languages";  // the language files, *.ini
inline constexpr char16_t kTemplateFolder[] = u"templates";
inline constexpr char16_t kStyleFolder[] = u"styles";
inline constexpr char16_t kImageFolder[] = u"img";  // the updater's, not the setup program's

// The batch file in the temporary folder that deletes the setup program
// after an uninstallation.
inline constexpr char16_t kRemovalBatchFile[] = u"RunOrvel.bat";

// Registry keys, absolute below their root. The application's settings lie
// below kSettingsKey in HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE.
inline constexpr char16_t kSettingsKey[] = u"\\Software\\OrvelDraw";
inline constexpr char16_t kConfigurationKey[] = u"\\Software\\OrvelDraw\\Orvel";  // language and portable flag in registry mode
inline constexpr char16_t kProgramKey[] = u"\\Software\\OrvelDraw\\Program";      // the updater's "Update" and "NextUpdate"
// The application's file class, for the file association.
inline constexpr char16_t kFileClass[] = u"OrvelDraw";
inline constexpr char16_t kClassesKey[] = u"\\Software\\Classes";  // below HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE
inline constexpr char16_t kFileClassKey[] = u"\\Software\\Classes\\OrvelDraw";
// The entry in Apps & features, below HKEY_LOCAL_MACHINE (relative).
inline constexpr char16_t kAppsEntryKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvelDraw";

// The keys spelled out above are their parents' paths and one name more.
namespace check {
constexpr bool below(std::u16string_view key, std::u16string_view parent, std::u16string_view name) {
  return key.size() == parent.size() + 1 + name.size() && key.starts_with(parent) && key[parent.size()] == u'\\' &&
         key.ends_with(name);
}
static_assert(below(kConfigurationKey, kSettingsKey, u"Orvel"));
static_assert(below(kProgramKey, kSettingsKey, u"Program"));
static_assert(below(kFileClassKey, kClassesKey, kFileClass));
static_assert(below(kSettingsKey, u"\\Software", kProductFolder));
}  // namespace check

}  // namespace orvel::layout
