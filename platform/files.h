// Files and folders, with the semantics of the Windows file functions.
// Paths are Windows paths ("C:\x\y", "\\server\share\x"); on the emulated
// machine they are mapped into the machine root.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
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

// CopyFileW: keeps attributes and the last-write time. With failIfExists an
// existing target fails with kFileExists; otherwise a read-only or locked
// target fails with access denied / sharing violation.
Result copyFile(const Str& from, const Str& to, bool failIfExists);

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
};
// FindFirstFileW/FindNextFileW on a folder path followed by a wildcard
// pattern ("C:\x\*.*", "C:\x\languages\*.ini"). "*" and "?" as Windows reads
// them ("*.*" matches every name, also one without a dot). "." and ".." are
// never returned. A missing folder gives an empty list.
std::vector<FindEntry> findFiles(const Str& pattern);

// Last-write time as a FILETIME value (100 ns since 1601), or nothing when the
// file cannot be read.
std::optional<uint64_t> lastWriteTime(const Str& path);
// Sets the last-write time (used by tests and benchmarks to age files).
Result setLastWriteTime(const Str& path, uint64_t filetime);

// Whole file contents, or nothing when it cannot be read.
std::optional<std::string> readFile(const Str& path);
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
  ExclusiveLock(ExclusiveLock&& other) noexcept;
  ExclusiveLock& operator=(ExclusiveLock&& other) noexcept;
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  ~ExclusiveLock();
  void release();

 private:
  intptr_t handle_ = -1;
};

}  // namespace orvel::files
