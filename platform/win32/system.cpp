// The process and the machine through kernel32, advapi32, mpr and shell32.
#include "platform/system.h"

#include <memory>

#include "platform/win32/win32.h"

// After <windows.h>, which they need.
#include <shellapi.h>
#include <winnetwk.h>

namespace orvel::sys {
namespace {

using win32::ScopedHandle;
using win32::wide;

bool isWindowsNt() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExW(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// The thread's token when it impersonates, else the process's.
ScopedHandle openQueryToken() {
  ScopedHandle token;
  if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.receive())) return token;
  if (GetLastError() != ERROR_NO_TOKEN) return {};
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive())) return {};
  return token;
}

// The token's group list (TOKEN_GROUPS) in a buffer of the size the system asks for.
std::unique_ptr<BYTE[]> tokenGroups(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return nullptr;
  auto buffer = std::make_unique<BYTE[]>(size);
  if (!GetTokenInformation(token, TokenGroups, buffer.get(), size, &size)) return nullptr;
  return buffer;
}

struct SidDeleter {
  void operator()(void* sid) const { FreeSid(sid); }
};
using ScopedSid = std::unique_ptr<void, SidDeleter>;

// S-1-5-32-544, the local Administrators group.
ScopedSid administratorsSid() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                0, 0, 0, 0, 0, &sid))
    return nullptr;
  return ScopedSid(sid);
}

DWORD flagsFor(unsigned codePage) {
  // The UTF code pages allow no flags; the others must not fall back on
  // look-alike letters, so that a missing character becomes '?'.
  return codePage == CP_UTF8 || codePage == CP_UTF7 ? 0 : WC_NO_BEST_FIT_CHARS;
}

const char* defaultCharFor(unsigned codePage) {
  return codePage == CP_UTF8 || codePage == CP_UTF7 ? nullptr : "?";
}

}  // namespace

std::optional<Str> networkUserName(size_t bufferChars) {
  std::wstring name(bufferChars, L'\0');
  DWORD length = static_cast<DWORD>(bufferChars);
  if (bufferChars == 0 || WNetGetUserW(nullptr, name.data(), &length) != NO_ERROR) return std::nullopt;
  return win32::fromWide(name.c_str());
}

uint16_t userDefaultLangId() { return GetUserDefaultLangID(); }

bool isAdministrator() {
  if (!isWindowsNt()) return false;
  ScopedHandle token = openQueryToken();
  if (!token.valid()) return false;
  std::unique_ptr<BYTE[]> buffer = tokenGroups(token.get());
  if (!buffer) return false;
  ScopedSid administrators = administratorsSid();
  if (!administrators) return false;
  // Deny-only entries count too: a filtered administrator's token still lists the group.
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.get());
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    if (EqualSid(groups->Groups[i].Sid, administrators.get())) return true;
  }
  return false;
}

std::optional<Str> tempPath(size_t bufferChars) {
  std::wstring path(bufferChars, L'\0');
  DWORD length = GetTempPathW(static_cast<DWORD>(bufferChars), path.data());
  // Too small a buffer gives the size it would need, terminator included.
  if (length == 0 || length >= bufferChars) return std::nullopt;
  return win32::fromWide(path.data(), length);
}

void sleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

Str modulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return win32::fromWide(path.data(), length);
    path.resize(path.size() * 2);
  }
}

std::vector<Str> commandLineArguments() {
  int count = 0;
  win32::LocalMemory<LPWSTR*> arguments(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<Str> result;
  if (!arguments.get()) return result;
  for (int i = 0; i < count; ++i) result.push_back(win32::fromWide(arguments.get()[i]));
  return result;
}

unsigned ansiCodePage() { return GetACP(); }

unsigned oemCodePage() { return GetOEMCP(); }

std::string encode(const Str& text, unsigned codePage) {
  if (text.empty()) return {};
  int length = static_cast<int>(text.size());
  DWORD flags = flagsFor(codePage);
  const char* defaultChar = defaultCharFor(codePage);
  int size = WideCharToMultiByte(codePage, flags, wide(text), length, nullptr, 0, defaultChar, nullptr);
  if (size <= 0) return {};
  std::string bytes(size, '\0');
  WideCharToMultiByte(codePage, flags, wide(text), length, bytes.data(), size, defaultChar, nullptr);
  return bytes;
}

Str decode(const std::string& bytes, unsigned codePage) {
  if (bytes.empty()) return {};
  int length = static_cast<int>(bytes.size());
  int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::wstring text(size, L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), size);
  return win32::fromWide(text.data(), text.size());
}

Str errorMessage(uint32_t code) {
  win32::LocalMemory<wchar_t*> message;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(message.receive()), 0, nullptr);
  if (length == 0) return {};
  Str text = win32::fromWide(message.get(), length);
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n')) text.pop_back();
  return text;
}

}  // namespace orvel::sys
