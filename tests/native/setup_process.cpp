#include "tests/native/setup_process.h"

#include <algorithm>
#include <cwctype>

namespace orvel::native {
namespace {

// Variables that would make Setup.exe run from a script instead of showing
// its windows.
const wchar_t* const kScriptVariables[] = {L"ORVEL_GUI_SCRIPT", L"ORVEL_GUI_TRANSCRIPT"};

std::wstring upper(std::wstring s) {
  std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
  return s;
}

bool dropped(const std::wstring& entry) {
  const std::wstring name = upper(entry.substr(0, entry.find(L'=')));
  for (const wchar_t* variable : kScriptVariables)
    if (name == variable) return true;
  return false;
}

// This process's environment without the script variables, and `added`: a
// block of NUL-ended entries ended by one more NUL.
std::vector<wchar_t> environmentBlock(const std::vector<std::wstring>& added) {
  std::vector<std::wstring> entries;
  if (wchar_t* strings = GetEnvironmentStringsW()) {
    for (const wchar_t* p = strings; *p; p += wcslen(p) + 1)
      if (!dropped(p)) entries.emplace_back(p);
    FreeEnvironmentStringsW(strings);
  }
  entries.insert(entries.end(), added.begin(), added.end());
  std::vector<wchar_t> block;
  for (const std::wstring& entry : entries) {
    block.insert(block.end(), entry.begin(), entry.end());
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

// One argument as CommandLineToArgvW reads it back.
std::wstring quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, L'\\');
  out.push_back(L'"');
  return out;
}

}  // namespace

std::wstring commandLine(const std::wstring& program, const std::vector<std::wstring>& arguments) {
  std::wstring line = quoted(program);
  for (const std::wstring& argument : arguments) line += L" " + quoted(argument);
  return line;
}

SetupProcess::SetupProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                           const std::wstring& workingFolder, const std::vector<std::wstring>& added) {
  std::wstring line = commandLine(program, arguments);
  std::vector<wchar_t> environment = environmentBlock(added);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      environment.data(), workingFolder.c_str(), &startup, &info))
    return;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  id_ = info.dwProcessId;
}

SetupProcess::~SetupProcess() {
  if (!process_) return;
  if (running()) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 10000);
  }
  CloseHandle(process_);
}

bool SetupProcess::waitForExit(Millis limit) const {
  return process_ && WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
}

bool SetupProcess::running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

DWORD SetupProcess::exitCode() const {
  DWORD code = STILL_ACTIVE;
  if (process_) GetExitCodeProcess(process_, &code);
  return code;
}

}  // namespace orvel::native
