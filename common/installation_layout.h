// The installation's layout: the names of the files, folders and registry
// keys that the setup program, the updater and the application agree on.
// Stored installations and the application rely on every one of them, so a
// value never changes. Windows compares all of them case-insensitively.
#pragma once

#include "platform/types.h"

namespace orvel::layout {

// The product's own folder: below Program Files, the user's AppData and
// the Start menu's Programs.
inline const Str kProductFolder = u"OrvelDraw";

// Files in the installation folder.
inline const Str kApplicationFile = u"OrvelDraw.exe";  // the drawing application
inline const Str kSetupFile = u"Setup.exe";            // the setup program, which also uninstalls
inline const Str kShortcutFile = u"OrvelDraw.lnk";     // the desktop and Start-menu shortcut
inline const Str kMachineIniFile = u"ODMachine.INI";   // the configuration when settings go into INI files
// The uninstallation looks for the machine INI file under this spelling and
// logs its removal so; on Windows it names the same file as kMachineIniFile.
inline const Str kMachineIniFileRemoved = u"ODMachine.ini";
inline const Str kInstallLog = u"install.txt";  // the installation's log
inline const Str kUpdateLog = u"update.txt";    // the updater's log

// The user's settings files, in the folder that "HomeDir" names.
inline const Str kSettingsFiles[] = {u"ODUser.ini", u"ODOrvelCol.ini", u"ODHTMLCol.ini"};

// Subfolders of the installation folder (and of the distribution).
inline const Str kLanguageFolder = u"languages";  // the language files, *.ini
inline const Str kTemplateFolder = u"templates";
inline const Str kStyleFolder = u"styles";
inline const Str kImageFolder = u"img";  // the updater's, not the setup program's

// The batch file in the temporary folder that deletes the setup program
// after an uninstallation.
inline const Str kRemovalBatchFile = u"RunOrvel.bat";

// Registry keys, absolute below their root. The application's settings lie
// below kSettingsKey in HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE.
inline const Str kSettingsKey = u"\\Software\\OrvelDraw";
inline const Str kConfigurationKey = kSettingsKey + u"\\Orvel";  // language and portable flag in registry mode
inline const Str kProgramKey = kSettingsKey + u"\\Program";      // the updater's "Update" and "NextUpdate"
// The application's file class, for the file association.
inline const Str kFileClass = u"OrvelDraw";
inline const Str kClassesKey = u"\\Software\\Classes";  // below HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE
inline const Str kFileClassKey = kClassesKey + u"\\" + kFileClass;
// The entry in Apps & features, below HKEY_LOCAL_MACHINE (relative).
inline const Str kAppsEntryKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvelDraw";

}  // namespace orvel::layout
