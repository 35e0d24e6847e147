// Files and folders, with the semantics of the Windows file functions.
// Paths are Windows paths ("C:\x\y", "\\server\share\x"); on the emulated
// machine they are mapped into the machine root.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/types.h"

namespace orvel::files {

// FILE_ATTRIBUTE_* values.
constexpr uint32_t kReadOnly = 0x1;
constexpr uint32_t kHidden = 0x2;
constexpr uint32_t kSystem = 0x4;
constexpr uint32_t kDirectory = 0x10;
constexpr uint32_t kArchive = 0x20;
constexpr uint32_t kNormal = 0x80;
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;

// True for an existing file that is not a folder.
bool fileExists(const Str& path);
// True for an existing folder.
bool directoryExists(const Str& path);

// GetFileAttributesW: kInvalidAttributes when the path does not exist or is invalid.
uint32_t getAttributes(const Str& path);
// SetFileAttributesW: 0 means "normal". Only read-only, hidden, system and
// archive are kept.
Result setAttributes(const Str& path, uint32_t attributes);

// DeleteFileW: fails for a read-only file (access denied), for a file that
// another process holds locked (sharing violation), and for a folder.
Result deleteFile(const Str& path);

// What copyFile does with a target that exists.
enum class IfExists { Replace, Fail };
// CopyFileW: keeps attributes and the last-write time. With IfExists::Fail
// an existing target fails with kFileExists; otherwise a read-only or
// locked target fails with access denied / sharing violation.
Result copyFile(const Str& from, const Str& to, IfExists ifExists);

// MoveFileW: fails when the target exists (kAlreadyExists) or the source is
// missing (kFileNotFound).
Result moveFile(const Str& from, const Str& to);

// CreateDirectoryW: the parent must exist; an existing folder fails with kAlreadyExists.
Result createDirectory(const Str& path);
// Creates the folder and every missing parent. Succeeds when the folder exists.
Result forceDirectories(const Str& path);
// RemoveDirectoryW: only an empty folder.
Result removeDirectory(const Str& path);

struct FindEntry {
  Str name;             // the name only, no path
  uint32_t attributes;  // FILE_ATTRIBUTE_* of the entry
  uint64_t size = 0;    // in bytes; 0 for a folder
};
// FindFirstFileW/FindNextFileW on a folder path followed by a wildcard
// pattern ("C:\x\*.*", "C:\x\languages\*.ini"). "*" and "?" as Windows reads
// them ("*.*" matches every name, also one without a dot). "." and ".." are
// never returned. A missing folder gives an empty list.
std::vector<FindEntry> findFiles(const Str& pattern);

// Last-write time as a FILETIME value (100 ns since 1601), or why the file's
// time cannot be read.
Outcome<uint64_t> lastWriteTime(const Str& path);
// Sets the last-write time (used by tests and benchmarks to age files).
Result setLastWriteTime(const Str& path, uint64_t filetime);

// A whole file's contents, or why there are none. A file that is not there
// (Missing) and one that is there but cannot be read (Unreadable: held open
// without sharing, no permission, a folder, a read error) differ for the
// callers that would otherwise replace what they could not read.
struct FileContents {
  enum class Status { Ok, Missing, Unreadable };
  Status status = Status::Missing;
  std::string bytes;                     // empty unless Ok
  uint32_t error = err::kFileNotFound;   // the Windows error code unless Ok
  bool ok() const { return status == Status::Ok; }
  bool missing() const { return status == Status::Missing; }
};
FileContents readFileContents(const Str& path);

// Whole file contents, or nothing when it cannot be read (missing or unreadable).
inline std::optional<std::string> readFile(const Str& path) {
  FileContents contents = readFileContents(path);
  if (!contents.ok()) return std::nullopt;
  return std::move(contents.bytes);
}

// Whether both paths name the same existing file or folder, whatever their
// spelling ("C:\x\.\a", a mapped drive and its share, letter case): the same
// volume and file index on Windows, the same device and inode on the
// emulated machine. False when either does not exist.
bool sameExistingFile(const Str& a, const Str& b);
// Creates or replaces the file with these bytes. The replacement is atomic:
// a reader sees the old or the new contents, never a torn file.
Result writeFile(const Str& path, const std::string& bytes);
// Creates an empty file, or cuts an existing one to length 0, in place.
Result createOrTruncate(const Str& path);

// Writes the lines as 8-bit text in the given code page, each line (the last
// one too) ended by CR LF, no byte-order mark, replacing the file.
// Characters the code page lacks are written as '?'.
Result writeTextLines(const Str& path, const std::vector<Str>& lines, unsigned codePage);

// Holds a file open so that nobody else may delete or replace it, as a
// process does on Windows that opens it without sharing (on the emulated
// machine: an exclusive flock). Used to make a copy or deletion fail.
class ExclusiveLock {
 public:
  ExclusiveLock() = default;
  static std::optional<ExclusiveLock> acquire(const Str& path);
  ExclusiveLock(ExclusiveLock&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}
  ExclusiveLock& operator=(ExclusiveLock&& other) noexcept {
    if (this != &other) {
      release();
      handle_ = std::exchange(other.handle_, kNone);
    }
    return *this;
  }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  ~ExclusiveLock() { release(); }
  // Each backend's own: closes the handle, leaving the system's last error.
  void release();

 private:
  // The backend's handle (a descriptor, a HANDLE); kNone while none is held.
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;
};

// Serialises the read-change-write of one file among the processes of the
// machine (runs that change the same settings file at once): held from
// acquire until it is destroyed or released. Waits for another holder up to
// a few seconds; a lock that could not be had is not held, and the caller
// goes on without it. The file itself stays open to everybody.
class UpdateLock {
 public:
  UpdateLock() = default;
  static UpdateLock acquire(const Str& path);
  UpdateLock(UpdateLock&& other) noexcept;
  UpdateLock& operator=(UpdateLock&& other) noexcept;
  UpdateLock(const UpdateLock&) = delete;
  UpdateLock& operator=(const UpdateLock&) = delete;
  ~UpdateLock();
  bool held() const { return handle_ != -1; }
  void release();

 private:
  intptr_t handle_ = -1;
};

}  // namespace orvel::files
