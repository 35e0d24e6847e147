// The shell link object (CLSID_ShellLink with IShellLinkW and IPersistFile):
// writes and reads shortcut (.lnk) files.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace orvel::shelllink {

// What IShellLinkW holds of a shortcut. The defaults are what an unloaded
// link object answers.
struct LinkData {
  Str arguments;
  Str description;
  Str iconFile;  // empty: no icon location
  int iconIndex = 0;
  Str path;  // the target
  Str workingDirectory;
  uint16_t hotKey = 0;  // virtual-key code in the low byte, HOTKEYF_* in the high byte
  int showCommand = 1;  // SW_SHOWNORMAL
};

// The link object's class, which the text of a failure to create it names.
inline constexpr char16_t kClassId[] = u"{00021401-0000-0000-C000-000000000046}";
// The call of a failed Result when the object could not be created (its
// HRESULT the Result's error); "QueryInterface" when it lacks IPersistFile.
inline constexpr char kCreateCall[] = "CoCreateInstance";

// Write: SetArguments, SetDescription, SetHotkey, SetIconLocation (only when
// iconFile is not empty), SetPath, SetShowCmd, SetWorkingDirectory, then
// IPersistFile::Save(linkFile). Result codes of the methods are ignored, as
// is a failing Save: no shortcut is then left. Fails only when the link
// object cannot be had.
Result save(const Str& linkFile, const LinkData& data);

// Read: IPersistFile::Load(linkFile, STGM_READ) and the getters, each text
// through a buffer of `bufferChars` characters; GetPath with
// SLGP_UNCPRIORITY. A file that is missing, no shortcut or damaged gives
// what the unloaded object answers (LinkData{}); it fails, as save does,
// only when the link object cannot be had.
Outcome<LinkData> load(const Str& linkFile, size_t bufferChars);

}  // namespace orvel::shelllink
