// The installation's entry in the system's list of installed programs
// ("Apps & features", "Programs and Features"): a key below
// HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall,
// in the program's registry view, whose UninstallString starts the
// installed Setup.exe.
#pragma once

#include "platform/types.h"

namespace orvel {

// The entry's key, as the log names it: "HKEY_LOCAL_MACHINE\Software\...\Uninstall\OrvelDraw".
Str AppsEntryName();

// Writes (or rewrites) the entry for the installation in `folder` (with a
// trailing "\"): name, version, maker, icon, folder, the command that starts
// its Setup.exe, and the size of its files. Whether every value was
// written; nothing is without the right to write below HKEY_LOCAL_MACHINE,
// or when the folder holds no Setup.exe to uninstall with.
bool RegisterInApps(const Str& folder);

// Removes the entry when it belongs to the installation in `folder` (its
// InstallLocation names that folder, however spelled) or leads nowhere any
// more (its folder holds no Setup.exe). An entry of an installation in
// another folder stays: that installation still works.
void UnregisterFromApps(const Str& folder);

}  // namespace orvel
