// The emulated machine's temporary files: each new version of a file is
// written beside it under a temporary name and renamed over it. The name
// carries the writer's process id, ".~orvel-<pid>-XXXXXX", so that one left
// by a process that no longer runs (killed half-way) is told from one being
// written, and the next process that writes into that folder removes it.
#pragma once

#include <optional>
#include <string>

#include "machine/handles.h"

namespace orvel::posix {

// The mkostemp template of a new temporary file of this process in `folder`.
std::string tempTemplate(const std::string& folder);
// A new temporary file of this process, open for reading and writing, in
// the folder open as `folderFd`, or at the path `folder` when that is
// AT_FDCWD; its name as openat takes it with that descriptor.
struct CreatedTemp {
  std::string name;
  Fd fd;
};
std::optional<CreatedTemp> createTemp(int folderFd, const std::string& folder);
// Removes the temporary files of processes that no longer run from the
// folder: by default once per process (and per run, fault_injection.h).
enum class Sweep { OncePerRun, Now };
void removeStaleTemps(const std::string& folder, Sweep when = Sweep::OncePerRun);

}  // namespace orvel::posix
