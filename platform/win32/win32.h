// What every file of the Win32 backend needs: UTF-16 at the API boundary,
// errors from GetLastError, and owning wrappers for the handles it opens.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "platform/types.h"
#include "platform/unique_handle.h"

namespace orvel::win32 {

// wchar_t is UTF-16 on Windows, so Str and the W functions share their text.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline const wchar_t* wide(const Str& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline Str fromWide(const wchar_t* s) { return s ? Str(reinterpret_cast<const char16_t*>(s)) : Str(); }
inline Str fromWide(const wchar_t* s, size_t length) {
  return Str(reinterpret_cast<const char16_t*>(s), length);
}

// The failure of the Win32 call `call` (a static name), from GetLastError.
inline Result lastError(const char* call) {
  const DWORD code = GetLastError();
  return Result::failure(code, call, static_cast<int32_t>(code));
}
// A BOOL result of the Win32 call `call` as a Result.
inline Result check(BOOL succeeded, const char* call) { return succeeded ? Result::success() : lastError(call); }
// A LSTATUS of the Reg* function `call` as a Result.
inline Result status(LONG code, const char* call) {
  return code == ERROR_SUCCESS ? Result::success()
                               : Result::failure(static_cast<uint32_t>(code), call, static_cast<int32_t>(code));
}

// Windows refuses to overwrite, replace or truncate a read-only file (access
// denied). Wine leaves that refusal to the Unix permissions, which root
// bypasses, so the writers ask first and answer as Windows does everywhere.
inline bool isReadOnlyFile(const Str& path) {
  DWORD attributes = GetFileAttributesW(wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         (attributes & FILE_ATTRIBUTE_READONLY);
}

// Closes a handle without disturbing the caller's last error, which is often
// read after the handle went out of scope.
inline void closeKeepingError(HANDLE handle) {
  DWORD error = GetLastError();
  CloseHandle(handle);
  SetLastError(error);
}

// A kernel handle from CreateFileW, OpenProcessToken, CreateMutexW and the
// like (CreateFileW answers INVALID_HANDLE_VALUE, the others null).
struct KernelHandleTraits {
  using Handle = HANDLE;
  static HANDLE none() { return nullptr; }
  static bool valid(HANDLE handle) { return handle && handle != INVALID_HANDLE_VALUE; }
  static void close(HANDLE handle) { closeKeepingError(handle); }
};
using ScopedHandle = UniqueHandle<KernelHandleTraits>;

// A search of FindFirstFileW.
struct FindHandleTraits {
  using Handle = HANDLE;
  static HANDLE none() { return INVALID_HANDLE_VALUE; }
  static bool valid(HANDLE handle) { return handle != INVALID_HANDLE_VALUE; }
  static void close(HANDLE handle) {
    const DWORD error = GetLastError();
    FindClose(handle);
    SetLastError(error);
  }
};
using FindHandle = UniqueHandle<FindHandleTraits>;

// An open registry key (never a predefined root).
struct RegistryKeyTraits {
  using Handle = HKEY;
  static HKEY none() { return nullptr; }
  static bool valid(HKEY key) { return key != nullptr; }
  static void close(HKEY key) {
    const DWORD error = GetLastError();
    RegCloseKey(key);
    SetLastError(error);
  }
};
using RegistryKey = UniqueHandle<RegistryKeyTraits>;

// Memory that the system allocated with LocalAlloc (CommandLineToArgvW,
// FormatMessageW with FORMAT_MESSAGE_ALLOCATE_BUFFER).
template <typename T>
class LocalMemory {
 public:
  LocalMemory() = default;
  explicit LocalMemory(T memory) : memory_(memory) {}
  LocalMemory(const LocalMemory&) = delete;
  LocalMemory& operator=(const LocalMemory&) = delete;
  ~LocalMemory() {
    if (memory_) LocalFree(reinterpret_cast<HLOCAL>(memory_));
  }
  T get() const { return memory_; }
  T* receive() { return &memory_; }

 private:
  T memory_ = nullptr;
};

// A COM interface pointer, released once when it goes.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** receive() { return &p_; }
  // For CoCreateInstance and QueryInterface.
  void** out() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

}  // namespace orvel::win32
