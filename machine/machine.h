// The emulated Windows machine: a folder laid out like a Wine prefix, with
// its settings in machine.ini. Every posix service goes through here to find
// the machine root and to map Windows paths onto it.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "machine/folder_handles.h"
#include "platform/types.h"

namespace orvel::posix {

struct MachineSettings {
  std::optional<Str> userName;  // nothing: WNetGetUserW fails (empty UserName=)
  uint16_t langId = 0x0409;
  bool administrator = true;
  unsigned ansiCodePage = 1252;
  unsigned oemCodePage = 850;
  double sleepScale = 1.0;
  // Special folders by CSIDL name (ProgramFiles, CommonDesktop, Desktop,
  // CommonStartMenu, StartMenu, AppData) and Temp; an empty text means the
  // folder is not available.
  std::map<std::string, Str> folders;
};

// A host path with what its look-up learnt of it on the way, so that the
// caller need not look again: the lstat of the path (without a trailing
// separator) when the look-up made one and found something, or that its
// folder is there and holds no such name; and whether it found anything on
// drive C:, which is then there. With the handle of the folder that the
// path ends in, its last name in that folder, so that the calls on the place
// can go from the folder (folderHandle).
struct HostPlace {
  enum class Seen { Unknown, Found, Missing };
  std::string path;
  Seen seen = Seen::Unknown;
  struct stat info {};  // the lstat, when Found
  bool showsDriveC = false;
  std::shared_ptr<const FolderHandle> folder;
  std::string name;  // when `folder`: the last name of `path`
};

class Machine {
 public:
  // The machine of this process: $ORVEL_MACHINE, else
  // $XDG_DATA_HOME/orvel-machine, else ~/.local/share/orvel-machine. A missing
  // root is created with the defaults. machine.ini is read again whenever the
  // root or the file changed, so that tests can give each case a fresh
  // machine and edit machine.ini.
  static Machine current();
  // current() without its look at drive C:, for a caller that looks up a
  // path next: a look-up that shows drive C: (HostPlace::showsDriveC) stands
  // for that look; without it the caller takes current() after all, which
  // gives a new machine its folders.
  static Machine currentBeforeLookUp();

  const std::string& root() const { return state_->root; }
  const MachineSettings& settings() const { return state_->settings; }

  // Host path of a Windows path, each existing component matched without
  // regard to letter case (the first match in the folder); components that do
  // not exist keep their spelling. Nothing for a path that is not absolute
  // (no drive letter, no UNC server and share).
  std::optional<std::string> hostPath(const Str& windowsPath) const;
  // The same, with what the look-up saw of the place.
  std::optional<HostPlace> lookUp(const Str& windowsPath) const;
  // Windows path of a host path: inside the root as its drive or UNC path,
  // elsewhere on Z:.
  Str windowsPath(const std::string& hostPath) const;

  std::string registryFile() const { return root() + "/registry.reg"; }
  std::string shellLog() const { return root() + "/shell.log"; }
  std::string recycleBin() const { return root() + "/recycle-bin"; }

  explicit Machine(std::string root);

 private:
  // The root and its settings, shared by the copies that every call makes,
  // never changed.
  struct State {
    std::string root;
    MachineSettings settings;
  };
  std::shared_ptr<const State> state_;
};

// A name this process has just made or removed at a host path: the folder
// listings that case-insensitive lookups use take it in without reading the
// folder again.
// `folderFd`, when given, is the open folder of the name, looked at instead
// of its path.
void noteNameAdded(const std::string& hostPath, int folderFd = -1);
void noteNameRemoved(const std::string& hostPath);

}  // namespace orvel::posix
