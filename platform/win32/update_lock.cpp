// UpdateLock on Windows: a named mutex of the session, named after the locked
// file's full path in upper case, so that every spelling of the path takes
// the same lock. A mutex that its holder left by ending is taken over.
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/win32/win32.h"

namespace orvel::files {
namespace {

constexpr DWORD kLongestWaitMs = 10000;

std::wstring mutexNameOf(const Str& path) {
  std::vector<wchar_t> full(32768, L'\0');
  const DWORD length = GetFullPathNameW(win32::wide(path), static_cast<DWORD>(full.size()), full.data(), nullptr);
  std::wstring text = length > 0 && length < full.size() ? std::wstring(full.data(), length)
                                                         : std::wstring(win32::wide(path));
  if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  // FNV-1a: a mutex name may not hold backslashes and is limited in length.
  uint64_t hash = 14695981039346656037ull;
  for (wchar_t c : text) hash = (hash ^ static_cast<uint64_t>(c)) * 1099511628211ull;
  std::wstring name = L"Local\\OrvelDraw.UpdateLock.";
  for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(hash >> shift) & 0xF];
  return name;
}

}  // namespace

UpdateLock UpdateLock::acquire(const Str& path) {
  UpdateLock lock;
  win32::ScopedHandle mutex(CreateMutexW(nullptr, FALSE, mutexNameOf(path).c_str()));
  if (!mutex.valid()) return lock;
  const DWORD waited = WaitForSingleObject(mutex.get(), kLongestWaitMs);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return lock;
  lock.handle_ = reinterpret_cast<intptr_t>(mutex.release());
  return lock;
}

void UpdateLock::release() {
  if (handle_ == -1) return;
  const win32::ScopedHandle mutex(reinterpret_cast<HANDLE>(std::exchange(handle_, -1)));
  ReleaseMutex(mutex.get());
}

}  // namespace orvel::files
