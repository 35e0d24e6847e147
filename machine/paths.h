// What the posix services share beyond the machine: Windows' way of
// comparing names (fold_case.h) and of writing paths (path_names.h), making a
// path absolute, turning errno into a
// Windows error code, and who may touch a file.
#pragma once

#include <optional>
#include <string>

#include "formats/fold_case.h"
#include "machine/machine.h"
#include "machine/path_names.h"
#include "platform/types.h"

namespace orvel::posix {

// Windows' letter case for names, which every service of the machine
// compares by.
using formats::compareNoCase;
using formats::equalNoCase;
using formats::NoCaseLess;
using formats::upcase;
using formats::upcased;

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
// opened itself to read it. When not, the descriptor keeps a shared lock
// until it is closed, as a reader's handle keeps others from deleting the
// file: for a descriptor closed right after its read, that costs no unlock.
bool heldExclusively(int fd);

// Whether a write to this place is refused: without administrator rights
// the programs folder and everything in it cannot be written.
bool writeRefused(const Machine& machine, const std::string& hostPath);


}  // namespace orvel::posix
