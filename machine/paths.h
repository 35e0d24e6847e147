// What the posix services share beyond the machine: Windows' way of
// comparing names (fold_case.h), making a path absolute, turning errno into a
// Windows error code, and who may touch a file.
#pragma once

#include <optional>
#include <string>

#include "platform/posix/fold_case.h"
#include "platform/posix/machine.h"
#include "platform/types.h"

namespace orvel::posix {

bool isSeparator(char16_t c);
// "X:\..." or "\\server\share...": a path that names its volume.
bool isAbsoluteWindowsPath(StrView path);

// Whether a name in the path (after its volume) holds a character Windows
// forbids in file names: < > : " | ? * or a control character.
bool hasForbiddenCharacter(StrView fullPath);

// GetFullPathNameW: a relative path ("a\b", "\a", "C:a") taken against the
// process's current folder, as the machine sees it.
Str fullWindowsPath(const Machine& machine, const Str& path);
// The host path of any Windows path, relative ones against the current folder.
std::optional<std::string> resolveHostPath(const Machine& machine, const Str& path);

// The current folder of the process as a Windows path.
Str currentWindowsFolder(const Machine& machine);

// A Windows error code for an errno value. A missing file is told apart from
// a missing folder on its way by looking at the folder that should hold it.
uint32_t windowsError(int errnoValue, const std::string& hostPath);

// Who else holds a file open, told by the flock that a fresh descriptor can
// get: an ExclusiveLock (flock LOCK_EX) is a file opened without sharing; a
// shared flock is a running program (lockOwnExecutable).
enum class Holder { Nobody, RunningProgram, ExclusiveOwner };
Holder holderOf(const std::string& hostPath);
// Whether another holds without sharing a file that this process has just
// opened itself; the descriptor is left without a lock.
bool heldExclusively(int fd);

// Whether a write to this place is refused: without administrator rights
// the programs folder and everything in it cannot be written.
bool writeRefused(const Machine& machine, const std::string& hostPath);

// The folder part of a host path ("/a/b" -> "/a", "/a" -> "/").
std::string hostParent(const std::string& hostPath);

}  // namespace orvel::posix
