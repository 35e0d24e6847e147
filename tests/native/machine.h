// The machine the program runs on (the Wine prefix), as the driver reads and
// prepares it: files and folders, the registry in either view, the shell's
// folders, and a file held open against the program.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace orvel::native {

// A Linux path as Wine's Z: drive shows it.
std::wstring windowsPathOf(const std::string& linuxPath);

bool fileExists(const std::wstring& path);
bool folderExists(const std::wstring& path);
// Creates a folder with its missing parents.
void makeFolders(const std::wstring& path);
// Copies a folder with everything in it; whether every copy succeeded.
bool copyFolder(const std::wstring& from, const std::wstring& to);
// Removes a folder with everything in it, read-only files included.
void removeFolder(const std::wstring& path);
// The names in a folder that match a pattern ("*.ini"), folders left out, sorted.
std::vector<std::wstring> filesIn(const std::wstring& folder, const std::wstring& pattern = L"*");

// A file's bytes; empty when it cannot be read.
std::string readBytes(const std::wstring& path);
// 8-bit text in a code page, as UTF-16.
std::wstring decode(const std::string& bytes, UINT codePage);
// The lines of a text file whose lines all end with CR LF; nullopt when a
// line ends otherwise (or the file cannot be read).
std::optional<std::vector<std::wstring>> crlfLines(const std::wstring& path, UINT codePage);
// Splits at CR LF (the text of a multi-line edit field).
std::vector<std::wstring> splitLines(const std::wstring& text);

// An INI value as the profile functions read it; nullopt when missing.
std::optional<std::wstring> iniValue(const std::wstring& file, const std::wstring& section, const std::wstring& key);
// The sections of an INI file, in file order.
std::vector<std::wstring> iniSections(const std::wstring& file);
// The key=value lines of a section, in file order.
std::vector<std::wstring> iniSection(const std::wstring& file, const std::wstring& section);

// Registry views: the 32-bit program's view of HKEY_LOCAL_MACHINE\Software
// and the 64-bit one.
inline constexpr REGSAM kView32 = KEY_WOW64_32KEY;
inline constexpr REGSAM kView64 = KEY_WOW64_64KEY;
// The installation's entry in Apps & features, below HKEY_LOCAL_MACHINE.
inline const std::wstring kAppsEntryKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvelDraw";
bool keyExists(HKEY root, const std::wstring& path, REGSAM view);
std::optional<std::wstring> readString(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view);
std::optional<DWORD> readDword(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view);
// Deletes a key with everything below it; a missing key is fine.
void deleteKey(HKEY root, const std::wstring& path, REGSAM view);
// Writes a value (for a case's starting state).
void writeDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value, REGSAM view);

// A shell folder (CSIDL) with a trailing backslash; empty when unavailable.
std::wstring shellFolder(int csidl);
// The program a shortcut (.lnk) points to; empty when it cannot be read.
std::wstring shortcutTarget(const std::wstring& link);
// The user name as the program's user-settings folder carries it.
std::wstring userName();

// Whether a process runs from an executable of this name ("OrvelDraw.exe").
bool processRunning(const std::wstring& exeName);

// Holds a file open without sharing, as another program can: it can be
// neither deleted nor replaced until release() or the end of the object.
class FileLock {
 public:
  explicit FileLock(const std::wstring& path);
  ~FileLock() { release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
  void release();

 private:
  HANDLE handle_;
};

}  // namespace orvel::native
