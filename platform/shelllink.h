// The shell link object (CLSID_ShellLink with IShellLinkW and IPersistFile):
// writes and reads shortcut (.lnk) files.
#pragma once

#include <cstdint>
#include <stdexcept>

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

// Raised when the shell link object cannot be created or lacks one of its
// two interfaces. The text is the system's text for the failure code,
// ", ClassID: " and the class id in braces.
class ObjectError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;  // UTF-8 text
};

// Write: SetArguments, SetDescription, SetHotkey, SetIconLocation (only when
// iconFile is not empty), SetPath, SetShowCmd, SetWorkingDirectory, then
// IPersistFile::Save(linkFile). Result codes of the methods are ignored, as
// is a failing Save: no shortcut is then left.
void save(const Str& linkFile, const LinkData& data);

// Read: IPersistFile::Load(linkFile, STGM_READ) and the getters, each text
// through a buffer of `bufferChars` characters; GetPath with
// SLGP_UNCPRIORITY. A file that is missing, no shortcut or damaged gives
// what the unloaded object answers (LinkData{}); never raises for that.
LinkData load(const Str& linkFile, size_t bufferChars);

}  // namespace orvel::shelllink
