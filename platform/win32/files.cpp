// Files and folders through the kernel32 file functions.
#include "platform/files.h"

#include <algorithm>

#include "platform/win32/win32.h"

namespace orvel::files {
namespace {

using win32::check;
using win32::lastError;
using win32::ScopedHandle;
using win32::wide;

constexpr uint32_t kKeptAttributes = kReadOnly | kHidden | kSystem | kArchive;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

Str withoutTrailingSeparators(Str path) {
  while (!path.empty() && isSeparator(path.back())) path.pop_back();
  return path;
}

ScopedHandle openExisting(const Str& path, DWORD access, DWORD share, DWORD flags = 0) {
  // Backup semantics lets the time functions open folders as well.
  return ScopedHandle(CreateFileW(wide(path), access, share, nullptr, OPEN_EXISTING,
                                  flags | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

uint64_t toUint64(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME toFiletime(uint64_t value) {
  return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

Result writeAll(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return lastError("WriteFile");
    done += written;
  }
  return Result::success();
}

Str hexText(uint32_t value) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  Str text;
  do {
    text.insert(text.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value);
  return text;
}

// A new, uniquely named file beside `path`, open for writing, for an atomic
// replacement: the final rename stays in one folder, and a missing folder
// fails as writing the target itself would.
Result createSiblingTempFile(const Str& path, Str& name, ScopedHandle& file) {
  const Str stem = path + u"." + hexText(GetCurrentProcessId()) + u"-";
  for (uint32_t attempt = 0; attempt < 1000; ++attempt) {
    name = stem + hexText(attempt) + u".tmp";
    file.reset(CreateFileW(wide(name), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.valid()) return Result::success();
    // A leftover of an earlier process with the same id: take the next name.
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return lastError("CreateFileW");
  }
  return Result::failure(err::kFileExists);
}

Result writeAndFlush(HANDLE file, const std::string& bytes) {
  if (Result r = writeAll(file, bytes); !r) return r;
  return check(FlushFileBuffers(file), "FlushFileBuffers");
}

}  // namespace

bool fileExists(const Str& path) {
  DWORD attributes = GetFileAttributesW(wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool directoryExists(const Str& path) {
  DWORD attributes = GetFileAttributesW(wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t getAttributes(const Str& path) { return GetFileAttributesW(wide(path)); }

Result setAttributes(const Str& path, uint32_t attributes) {
  uint32_t kept = attributes & kKeptAttributes;
  return check(SetFileAttributesW(wide(path), kept ? kept : FILE_ATTRIBUTE_NORMAL), "SetFileAttributesW");
}

Result deleteFile(const Str& path) { return check(DeleteFileW(wide(path)), "DeleteFileW"); }

Result copyFile(const Str& from, const Str& to, IfExists ifExists) {
  // A target that is not there yet, the common case of an installation,
  // costs the one copy; a missing source is reported before anything else.
  if (CopyFileW(wide(from), wide(to), TRUE)) return Result::success();
  Result first = lastError("CopyFileW");
  const bool exists = first.error == ERROR_FILE_EXISTS || first.error == ERROR_ALREADY_EXISTS;
  if (ifExists == IfExists::Fail || !exists) return first;
  // Wine run as root writes over a read-only file; Windows refuses it.
  if (win32::isReadOnlyFile(to)) return Result::failure(err::kAccessDenied);
  return check(CopyFileW(wide(from), wide(to), FALSE), "CopyFileW");
}

Result moveFile(const Str& from, const Str& to) { return check(MoveFileW(wide(from), wide(to)), "MoveFileW"); }

Result createDirectory(const Str& path) { return check(CreateDirectoryW(wide(path), nullptr), "CreateDirectoryW"); }

Result forceDirectories(const Str& path) {
  Str folder = withoutTrailingSeparators(path);
  if (folder.empty() || directoryExists(folder)) return Result::success();
  size_t slash = folder.find_last_of(u"\\/");
  if (slash != Str::npos && slash > 0) {
    if (Result r = forceDirectories(folder.substr(0, slash)); !r) return r;
  }
  if (CreateDirectoryW(wide(folder), nullptr)) return Result::success();
  Result failure = lastError("CreateDirectoryW");
  // Someone else may have made it in the meantime.
  return directoryExists(folder) ? Result::success() : failure;
}

Result removeDirectory(const Str& path) { return check(RemoveDirectoryW(wide(path)), "RemoveDirectoryW"); }

std::vector<FindEntry> findFiles(const Str& pattern) {
  std::vector<FindEntry> entries;
  WIN32_FIND_DATAW data;
  const win32::FindHandle find(FindFirstFileW(wide(pattern), &data));
  if (!find.valid()) return entries;
  do {
    Str name = win32::fromWide(data.cFileName);
    if (name == u"." || name == u"..") continue;
    const bool folder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    entries.push_back({std::move(name), data.dwFileAttributes,
                       folder ? 0 : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
  } while (FindNextFileW(find.get(), &data));
  return entries;
}

Outcome<uint64_t> lastWriteTime(const Str& path) {
  ScopedHandle file = openExisting(path, FILE_READ_ATTRIBUTES, kShareAll);
  if (!file.valid()) return lastError("CreateFileW");
  FILETIME written;
  if (!GetFileTime(file.get(), nullptr, nullptr, &written)) return lastError("GetFileTime");
  return toUint64(written);
}

Result setLastWriteTime(const Str& path, uint64_t filetime) {
  ScopedHandle file = openExisting(path, FILE_WRITE_ATTRIBUTES, kShareAll);
  if (!file.valid()) return lastError("CreateFileW");
  FILETIME written = toFiletime(filetime);
  return check(SetFileTime(file.get(), nullptr, nullptr, &written), "SetFileTime");
}

FileContents readFileContents(const Str& path) {
  using Status = FileContents::Status;
  auto failed = [] {
    const DWORD code = GetLastError();
    const bool missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
                         code == ERROR_INVALID_NAME || code == ERROR_BAD_PATHNAME;
    return FileContents{missing ? Status::Missing : Status::Unreadable, {}, static_cast<uint32_t>(code)};
  };
  ScopedHandle file = openExisting(path, GENERIC_READ, kShareAll);
  if (!file.valid()) return failed();
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.get(), &info)) return failed();
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    return FileContents{Status::Unreadable, {}, static_cast<uint32_t>(ERROR_ACCESS_DENIED)};
  FileContents contents{Status::Ok, {}, err::kSuccess};
  // A 32-bit process cannot hold a file of 4 GiB or more.
  const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (size > contents.bytes.max_size())
    return FileContents{Status::Unreadable, {}, static_cast<uint32_t>(ERROR_NOT_ENOUGH_MEMORY)};
  contents.bytes.reserve(static_cast<size_t>(size));
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
    if (got == 0) return contents;
    contents.bytes.append(buffer, got);
  }
  return failed();
}

bool sameExistingFile(const Str& a, const Str& b) {
  // Attributes only: a file held open without sharing is still the same file.
  ScopedHandle first = openExisting(a, 0, kShareAll);
  ScopedHandle second = openExisting(b, 0, kShareAll);
  BY_HANDLE_FILE_INFORMATION infoA, infoB;
  return first.valid() && second.valid() && GetFileInformationByHandle(first.get(), &infoA) &&
         GetFileInformationByHandle(second.get(), &infoB) &&
         infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
         infoA.nFileIndexHigh == infoB.nFileIndexHigh && infoA.nFileIndexLow == infoB.nFileIndexLow;
}

Result writeFile(const Str& path, const std::string& bytes) {
  if (win32::isReadOnlyFile(path)) return Result::failure(err::kAccessDenied);
  Str temp;
  ScopedHandle file;
  if (Result r = createSiblingTempFile(path, temp, file); !r) return r;
  Result written = writeAndFlush(file.get(), bytes);
  file.reset();
  if (written && MoveFileExW(wide(temp), wide(path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return Result::success();
  Result failure = written ? lastError("MoveFileExW") : written;
  DeleteFileW(wide(temp));
  return failure;
}

Result createOrTruncate(const Str& path) {
  // OPEN_ALWAYS keeps the file's identity and attributes (CREATE_ALWAYS would
  // refuse a hidden or system file).
  if (win32::isReadOnlyFile(path)) return Result::failure(err::kAccessDenied);
  ScopedHandle file(CreateFileW(wide(path), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return lastError("CreateFileW");
  return check(SetEndOfFile(file.get()), "SetEndOfFile");
}

std::optional<ExclusiveLock> ExclusiveLock::acquire(const Str& path) {
  // No sharing at all: nobody may open the file to read, write or delete it.
  HANDLE file = CreateFileW(wide(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  ExclusiveLock lock;
  lock.handle_ = reinterpret_cast<intptr_t>(file);
  return lock;
}

void ExclusiveLock::release() {
  if (handle_ != kNone) win32::closeKeepingError(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
}

}  // namespace orvel::files
