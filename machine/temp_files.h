// The emulated machine's temporary files: each new version of a file is
// written beside it under a temporary name and renamed over it. The name
// carries the writer's process id, ".~orvel-<pid>-XXXXXX", so that one left
// by a process that no longer runs (killed half-way) is told from one being
// written, and the next process that writes into that folder removes it.
#pragma once

#include <string>

namespace orvel::posix {

// The mkostemp template of a new temporary file of this process in `folder`.
std::string tempTemplate(const std::string& folder);
// Removes the temporary files of processes that no longer run from the
// folder: by default once per process (and per run, fault_injection.h).
enum class Sweep { OncePerRun, Now };
void removeStaleTemps(const std::string& folder, Sweep when = Sweep::OncePerRun);

}  // namespace orvel::posix
