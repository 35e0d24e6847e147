#include "tests/native/machine.h"

#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <winnetwk.h>

#include <algorithm>

namespace orvel::native {
namespace {

std::wstring withBackslash(std::wstring path) {
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path;
}

// The entries of a folder, "." and ".." left out.
std::vector<WIN32_FIND_DATAW> entries(const std::wstring& folder, const std::wstring& pattern) {
  std::vector<WIN32_FIND_DATAW> found;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((withBackslash(folder) + pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return found;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") found.push_back(data);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return found;
}

bool isFolder(const WIN32_FIND_DATAW& data) { return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// A key of the root opened in a view; closed by the holder.
class Key {
 public:
  Key(HKEY root, const std::wstring& path, REGSAM access) {
    if (RegOpenKeyExW(root, path.c_str(), 0, access, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// A key path split into its parent and its last name.
std::pair<std::wstring, std::wstring> parentAndName(const std::wstring& path) {
  const size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return {L"", path};
  return {path.substr(0, slash), path.substr(slash + 1)};
}

std::vector<std::wstring> nulSeparated(const std::vector<wchar_t>& buffer, DWORD length) {
  std::vector<std::wstring> items;
  for (DWORD i = 0; i < length && buffer[i];) {
    std::wstring item(&buffer[i]);
    i += static_cast<DWORD>(item.size()) + 1;
    items.push_back(item);
  }
  return items;
}

}  // namespace

std::wstring windowsPathOf(const std::string& linuxPath) {
  std::wstring path = L"Z:";
  for (char c : linuxPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
  return path;
}

bool fileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool folderExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void makeFolders(const std::wstring& path) { SHCreateDirectoryExW(nullptr, path.c_str(), nullptr); }

bool copyFolder(const std::wstring& from, const std::wstring& to) {
  makeFolders(to);
  bool ok = true;
  for (const WIN32_FIND_DATAW& entry : entries(from, L"*")) {
    const std::wstring source = withBackslash(from) + entry.cFileName;
    const std::wstring target = withBackslash(to) + entry.cFileName;
    ok = (isFolder(entry) ? copyFolder(source, target) : CopyFileW(source.c_str(), target.c_str(), FALSE) != FALSE) &&
         ok;
  }
  return ok;
}

void removeFolder(const std::wstring& path) {
  for (const WIN32_FIND_DATAW& entry : entries(path, L"*")) {
    const std::wstring child = withBackslash(path) + entry.cFileName;
    if (isFolder(entry)) {
      removeFolder(child);
    } else {
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(child.c_str());
    }
  }
  RemoveDirectoryW(path.c_str());
}

std::vector<std::wstring> filesIn(const std::wstring& folder, const std::wstring& pattern) {
  std::vector<std::wstring> names;
  for (const WIN32_FIND_DATAW& entry : entries(folder, pattern))
    if (!isFolder(entry)) names.emplace_back(entry.cFileName);
  std::sort(names.begin(), names.end());
  return names;
}

std::string readBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

std::wstring decode(const std::string& bytes, UINT codePage) {
  if (bytes.empty()) return {};
  const int length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
  return text;
}

std::optional<std::vector<std::wstring>> crlfLines(const std::wstring& path, UINT codePage) {
  const std::wstring text = decode(readBytes(path), codePage);
  if (text.empty() || text.size() < 2 || text.compare(text.size() - 2, 2, L"\r\n") != 0) return std::nullopt;
  std::vector<std::wstring> lines = splitLines(text.substr(0, text.size() - 2));
  for (const std::wstring& line : lines)
    if (line.find_first_of(L"\r\n") != std::wstring::npos) return std::nullopt;
  return lines;
}

std::vector<std::wstring> splitLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(L"\r\n", start);
    lines.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    if (end == std::wstring::npos) return lines;
    start = end + 2;
  }
}

std::optional<std::wstring> iniValue(const std::wstring& file, const std::wstring& section, const std::wstring& key) {
  // A default that no written value has tells a missing key from an empty one.
  const wchar_t missing[] = L"\x1F<missing>\x1F";
  wchar_t value[4096] = {};
  GetPrivateProfileStringW(section.c_str(), key.c_str(), missing, value, 4096, file.c_str());
  if (std::wstring(value) == missing) return std::nullopt;
  return std::wstring(value);
}

std::vector<std::wstring> iniSections(const std::wstring& file) {
  std::vector<wchar_t> buffer(65536, L'\0');
  const DWORD length = GetPrivateProfileSectionNamesW(buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
  return nulSeparated(buffer, length);
}

std::vector<std::wstring> iniSection(const std::wstring& file, const std::wstring& section) {
  std::vector<wchar_t> buffer(65536, L'\0');
  const DWORD length =
      GetPrivateProfileSectionW(section.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
  return nulSeparated(buffer, length);
}

bool keyExists(HKEY root, const std::wstring& path, REGSAM view) { return Key(root, path, KEY_READ | view).get(); }

std::optional<std::wstring> readString(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view) {
  Key key(root, path, KEY_READ | view);
  if (!key.get()) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
    return std::nullopt;
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

std::optional<DWORD> readDword(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view) {
  Key key(root, path, KEY_READ | view);
  if (!key.get()) return std::nullopt;
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD)
    return std::nullopt;
  return value;
}

void deleteKey(HKEY root, const std::wstring& path, REGSAM view) {
  const auto [parentPath, name] = parentAndName(path);
  Key parent(root, parentPath, KEY_ALL_ACCESS | view);
  if (parent.get()) RegDeleteTreeW(parent.get(), name.c_str());
  if (parent.get()) RegDeleteKeyExW(parent.get(), name.c_str(), view, 0);
}

void writeDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value, REGSAM view) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  RegCloseKey(key);
}

std::wstring shellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return withBackslash(path);
}

std::wstring shortcutTarget(const std::wstring& link) {
  IShellLinkW* shellLink = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shellLink))))
    return {};
  std::wstring target;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) &&
        SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)))
      target = path;
    file->Release();
  }
  shellLink->Release();
  return target;
}

std::wstring userName() {
  wchar_t name[256] = {};
  DWORD length = 256;
  if (WNetGetUserW(nullptr, name, &length) != NO_ERROR) return {};
  return name;
}

bool processRunning(const std::wstring& exeName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  bool found = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
    found = lstrcmpiW(entry.szExeFile, exeName.c_str()) == 0;
  CloseHandle(snapshot);
  return found;
}

FileLock::FileLock(const std::wstring& path)
    : handle_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}

void FileLock::release() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

}  // namespace orvel::native
