// The emulated machine's temporary files: each new version of a file is
// written beside it under a temporary name and renamed over it. The name
// carries the writer's process id, ".~orvel-<pid>-XXXXXX", so that one left
// by a process that no longer runs (killed half-way) is told from one being
// written, and the next process that writes into that folder removes it.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

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
// `mode`: the permission bits it is made with, less the process's umask.
std::optional<CreatedTemp> createTemp(int folderFd, const std::string& folder, mode_t mode = 0600);

// A new file without a name in the same folder (O_TMPFILE), which nothing
// is left of when the process ends before it is named; invalid where the
// file system cannot make one.
Fd createUnnamed(int folderFd, std::string_view folder, mode_t mode = 0600);
// Whether a file made with `mode` (as above) has those bits: none of them
// is in the process's umask, nor a set-id or sticky bit.
bool madeWith(mode_t mode);
// The permission bits a new file of this process gets (0666 less the umask
// the process started with).
mode_t creationMode();
// Gives such a file its name beside `folderFd`: false with errno when it
// cannot, EEXIST when the name is taken.
bool nameUnnamed(int fd, int folderFd, const char* name);
// Gives it a temporary name there instead; that name, or nothing with errno.
std::optional<std::string> nameUnnamedAsTemp(int fd, int folderFd, const std::string& folder);
// Removes the temporary files of processes that no longer run from the
// folder: by default once per process (and per run, fault_injection.h).
enum class Sweep { OncePerRun, Now };
void removeStaleTemps(std::string_view folder, Sweep when = Sweep::OncePerRun);

}  // namespace orvel::posix
