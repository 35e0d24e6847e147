#include "machine/machine.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "machine/file_stamp.h"
#include "machine/handles.h"
#include "formats/fold_case.h"
#include "machine/path_names.h"
#include "machine/view_hash.h"

namespace orvel::posix {

using formats::equalNoCase;
namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;

using IniSections = std::map<std::string, std::map<std::string, std::string>>;

constexpr const char* kFolderNames[] = {"ProgramFiles", "CommonDesktop",  "Desktop", "CommonStartMenu",
                                        "StartMenu",    "AppData",        "Temp"};

std::string lowered(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string trimmed(const std::string& s) {
  size_t first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  size_t last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

// The variables that name the machine and its settings, as getenv would
// find them at one call (the first entry of each; unset and empty alike),
// read in one pass over the environment. The views hold until the
// environment next changes: for the call that read them.
struct MachineEnvironment {
  std::string_view machine;  // ORVEL_MACHINE
  std::string_view lang;
  std::string_view user;
  std::string_view dataHome;  // XDG_DATA_HOME
  std::string_view home;

  static MachineEnvironment read();

  // $ORVEL_MACHINE, else $XDG_DATA_HOME/orvel-machine, else
  // ~/.local/share/orvel-machine.
  std::string root() const {
    if (!machine.empty()) return std::string(machine);
    std::string data(dataHome);
    if (data.empty()) data = homeFolder() + "/.local/share";
    return data + "/orvel-machine";
  }

 private:
  std::string homeFolder() const {
    if (!home.empty()) return std::string(home);
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
  }
};

struct EnvironmentVariable {
  std::string_view nameAndEquals;
  std::string_view MachineEnvironment::*value;
};
constexpr EnvironmentVariable kMachineVariables[] = {
    {"ORVEL_MACHINE=", &MachineEnvironment::machine}, {"LANG=", &MachineEnvironment::lang},
    {"USER=", &MachineEnvironment::user},             {"XDG_DATA_HOME=", &MachineEnvironment::dataHome},
    {"HOME=", &MachineEnvironment::home},
};
// Which of them an entry may be, by its first byte, one past its index:
// most entries are told from them by that byte alone.
constexpr std::array<uint8_t, 256> kMachineVariableOfByte = [] {
  std::array<uint8_t, 256> which{};
  for (size_t i = 0; i < std::size(kMachineVariables); ++i) {
    uint8_t& slot = which[static_cast<unsigned char>(kMachineVariables[i].nameAndEquals[0])];
    slot = slot ? 0xFF : static_cast<uint8_t>(i + 1);  // 0xFF: two names share a letter
  }
  return which;
}();
static_assert(std::find(kMachineVariableOfByte.begin(), kMachineVariableOfByte.end(), 0xFF) ==
                  kMachineVariableOfByte.end(),
              "each variable needs a first letter of its own");

// Whether the entry `text` begins with `prefix`; the terminating zero ends it.
bool entryBeginsWith(const char* text, std::string_view prefix) {
  for (size_t i = 0; i < prefix.size(); ++i)
    if (text[i] != prefix[i]) return false;
  return true;
}

MachineEnvironment MachineEnvironment::read() {
  MachineEnvironment found;
  for (char** entry = environ; entry && *entry; ++entry) {
    const char* text = *entry;
    const uint8_t which = kMachineVariableOfByte[static_cast<unsigned char>(text[0])];
    if (!which) continue;
    const EnvironmentVariable& variable = kMachineVariables[which - 1];
    std::string_view& value = found.*variable.value;
    if (value.data() || !entryBeginsWith(text, variable.nameAndEquals)) continue;
    value = std::string_view(text + variable.nameAndEquals.size());
    // Only the first entry of each counts, and a root named needs neither XDG_DATA_HOME nor HOME.
    if (!found.machine.empty() && found.lang.data() && found.user.data()) break;
  }
  return found;
}

// Section and key names in lower case; the first occurrence of a key counts,
// as GetPrivateProfileStringW reads it.
IniSections parseIni(const std::string& text) {
  IniSections sections;
  std::string section;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    line = trimmed(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      section = lowered(trimmed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
      continue;
    }
    size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    sections[section].emplace(lowered(trimmed(line.substr(0, equals))), trimmed(line.substr(equals + 1)));
  }
  return sections;
}

std::optional<std::string> lookup(const IniSections& ini, const std::string& section, const std::string& key) {
  auto s = ini.find(lowered(section));
  if (s == ini.end()) return std::nullopt;
  auto k = s->second.find(lowered(key));
  if (k == s->second.end()) return std::nullopt;
  return k->second;
}

std::optional<unsigned long> parseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  unsigned long value = std::strtoul(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
  if (errno || *end || !std::isxdigit(static_cast<unsigned char>(text[hex ? 2 : 0]))) return std::nullopt;
  return value;
}

uint16_t langIdFromLocale(const std::string& lang) {
  if (lang.rfind("de", 0) == 0) return 0x0407;
  if (lang.rfind("es", 0) == 0) return 0x0C0A;
  if (lang.rfind("nl", 0) == 0) return 0x0413;
  return 0x0409;
}

std::string defaultUserName() {
  std::string user = environment("USER");
  return user.empty() ? "user" : user;
}

std::map<std::string, Str> defaultFolders(const Str& user) {
  Str profile = u"C:\\Users\\" + user;
  return {
      {"ProgramFiles", u"C:\\Program Files"},
      {"CommonDesktop", u"C:\\Users\\Public\\Desktop"},
      {"Desktop", profile + u"\\Desktop"},
      {"CommonStartMenu", u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu"},
      {"StartMenu", profile + u"\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
      {"AppData", profile + u"\\AppData\\Roaming"},
      {"Temp", profile + u"\\AppData\\Local\\Temp\\"},
  };
}

MachineSettings settingsFrom(const IniSections& ini) {
  MachineSettings settings;
  auto value = [&](const char* key) { return lookup(ini, "Machine", key); };

  std::optional<std::string> user = value("UserName");
  if (!user) settings.userName = fromUtf8(defaultUserName());
  else if (!user->empty()) settings.userName = fromUtf8(*user);

  settings.langId = langIdFromLocale(environment("LANG"));
  if (auto text = value("LangId"))
    if (auto id = parseNumber(*text); id && *id <= 0xFFFF) settings.langId = static_cast<uint16_t>(*id);
  if (auto text = value("Administrator"))
    if (auto flag = parseNumber(*text)) settings.administrator = *flag != 0;
  if (auto text = value("AnsiCodePage"))
    if (auto page = parseNumber(*text); page && *page > 0) settings.ansiCodePage = static_cast<unsigned>(*page);
  if (auto text = value("OemCodePage"))
    if (auto page = parseNumber(*text); page && *page > 0) settings.oemCodePage = static_cast<unsigned>(*page);
  if (auto text = value("SleepScale")) {
    char* end = nullptr;
    double scale = std::strtod(text->c_str(), &end);
    if (end != text->c_str() && !*end && scale >= 0) settings.sleepScale = scale;
  }

  // The profile folders are named after the user even when WNetGetUserW is
  // told to fail.
  settings.folders = defaultFolders(settings.userName.value_or(fromUtf8(defaultUserName())));
  for (const char* name : kFolderNames)
    if (auto folder = lookup(ini, "Folders", name)) settings.folders[name] = fromUtf8(*folder);
  return settings;
}

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  std::string bytes = text.str();
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
  return bytes;
}

constexpr const char* kDefaultMachineIni =
    "; The emulated Windows machine. Every key is optional; the commented\n"
    "; lines show the defaults.\n"
    "[Machine]\n"
    ";UserName=$USER\n"
    ";LangId=0x0409 (0x0407, 0x0C0A, 0x0413 when $LANG begins with de, es, nl)\n"
    ";Administrator=1\n"
    ";AnsiCodePage=1252\n"
    ";OemCodePage=850\n"
    ";SleepScale=1\n"
    "\n"
    "; Special folders; an empty value makes the folder unavailable.\n"
    "[Folders]\n"
    ";ProgramFiles=C:\\Program Files\n"
    ";CommonDesktop=C:\\Users\\Public\\Desktop\n"
    ";Desktop=C:\\Users\\<user>\\Desktop\n"
    ";CommonStartMenu=C:\\ProgramData\\Microsoft\\Windows\\Start Menu\n"
    ";StartMenu=C:\\Users\\<user>\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\n"
    ";AppData=C:\\Users\\<user>\\AppData\\Roaming\n"
    ";Temp=C:\\Users\\<user>\\AppData\\Local\\Temp\\\n";

// A new machine gets its machine.ini with the defaults spelled out. Written
// through a temporary file so that two processes starting at once agree.
void createRoot(const std::string& root) {
  std::error_code ignored;
  fs::create_directories(root, ignored);
  std::random_device random;
  std::string temp = root + "/.machine.ini." + std::to_string(random());
  {
    std::ofstream out(temp, std::ios::binary);
    out << kDefaultMachineIni;
  }
  if (link(temp.c_str(), (root + "/machine.ini").c_str()) != 0) {
    // Someone else wrote it first; theirs stands.
  }
  unlink(temp.c_str());
}

// A machine whose drive C: is missing is new: it gets the folders that every
// Windows installation has.
void createStandardFolders(const Machine& machine) {
  std::error_code ignored;
  fs::create_directories(machine.root() + "/drive_c/Windows", ignored);
  for (const auto& [name, folder] : machine.settings().folders) {
    if (folder.empty()) continue;
    if (auto host = machine.hostPath(folder)) fs::create_directories(*host, ignored);
  }
}

bool isDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A name in upper case as the folder listings key names, in room of its own
// unless it is long.
class UpcasedName {
 public:
  explicit UpcasedName(StrView name) {
    char16_t* units = room(name.size());
    std::copy(name.begin(), name.end(), units);
    formats::upcaseEach(units, size_);
  }
  StrView view() const { return {long_.empty() ? short_.data() : long_.data(), size_}; }

 private:
  char16_t* room(size_t size) {
    size_ = size;
    if (size <= short_.size()) return short_.data();
    long_.resize(size);
    return long_.data();
  }
  std::array<char16_t, 128> short_;
  Str long_;
  size_t size_ = 0;
};

// `name` (UTF-8) in upper case, for a listing's key; most names are ASCII,
// one unit a byte.
Str upcasedKey(std::string_view name) {
  unsigned char bytes = 0;  // every byte or'ed: ASCII when below 0x80
  for (char c : name) bytes |= static_cast<unsigned char>(c);
  Str key = bytes < 0x80 ? Str(name.begin(), name.end()) : fromUtf8(name);
  formats::upcaseEach(key.data(), key.size());
  return key;
}

// The folder listings of this process, by upper-case name, so that a lookup
// that misses the exact spelling lists a folder once and not once per name.
// A listing counts while the folder's identity and change times are those it
// was read at; the names this process itself adds or removes are taken in
// without listing again.
class FolderListings {
 public:
  // Never destroyed: at exit there is nothing to give back but memory, and
  // taking thousands of names apart one by one would cost more than the
  // lookups that used them.
  static FolderListings& instance() {
    static FolderListings& listings = *new FolderListings;
    return listings;
  }

  // The name in `folder` that matches `name` without regard to letter case.
  // `known`: what a look at the folder itself just found, when it was no link.
  std::optional<std::string> find(const std::string& folder, StrView name, const struct stat* known = nullptr) {
    static const std::string kHostRoot = "/";
    const std::string& path = folder.empty() ? kHostRoot : folder;
    struct stat looked {};
    if (!known && stat(path.c_str(), &looked) != 0) return std::nullopt;
    const struct stat& info = known ? *known : looked;
    if (!S_ISDIR(info.st_mode)) return std::nullopt;
    const UpcasedName key(name);
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = listings_.find(path);
    if (it == listings_.end() || !(it->second.stamp == FileStamp::of(info))) {
      std::optional<Listing> listing = read(path, info);
      if (!listing) return std::nullopt;
      if (listings_.size() >= kMostFolders) listings_.clear();
      it = listings_.insert_or_assign(path, std::move(*listing)).first;
    }
    auto match = it->second.names.find(key.view());
    if (match == it->second.names.end()) return std::nullopt;
    return match->second;
  }

  void note(std::string_view hostPath, bool added, int folderFd = -1) {
    std::string_view path = hostPath;
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const size_t slash = path.find_last_of('/');
    // A listing is kept by its folder's path as the look-ups spell it (see hostParent).
    const std::string_view folder = slash == std::string_view::npos ? std::string_view(".")
                                    : slash == 0                    ? std::string_view("/")
                                                                    : path.substr(0, slash);
    const std::string_view name = path.substr(slash + 1);
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = listings_.find(folder);
    if (it == listings_.end()) return;
    struct stat info {};
    if ((folderFd >= 0 ? fstat(folderFd, &info) : stat(std::string(folder).c_str(), &info)) != 0) {
      listings_.erase(it);
      return;
    }
    auto& names = it->second.names;
    Str key = upcasedKey(name);
    if (added) {
      names.try_emplace(std::move(key), name);
    } else if (auto found = names.find(key); found != names.end() && found->second == name) {
      // Another spelling of the same name may remain (a host folder can hold both).
      listings_.erase(it);
      return;
    }
    it->second.stamp = FileStamp::of(info);
  }

 private:
  static constexpr size_t kMostFolders = 4096;
  struct Listing {
    FileStamp stamp;
    // upper-case name -> the first name in the folder
    std::unordered_map<Str, std::string, NameHash, std::equal_to<>> names;
  };

  static std::optional<Listing> read(const std::string& path, const struct stat& info) {
    const Dir dir(opendir(path.c_str()));
    if (!dir.valid()) return std::nullopt;
    Listing listing{FileStamp::of(info), {}};
    while (const dirent* entry = readdir(dir.get())) {
      std::string candidate = entry->d_name;
      if (candidate == "." || candidate == "..") continue;
      listing.names.emplace(upcasedKey(candidate), std::move(candidate));
    }
    return listing;
  }

  FolderListings() = default;

  std::mutex mutex_;
  std::unordered_map<std::string, Listing, TextHash, std::equal_to<>> listings_;
};

// The name in `folder` that matches `name` without regard to letter case, the
// exact spelling first.
std::optional<std::string> findName(const std::string& folder, StrView name) {
  std::string exact = toUtf8(name);
  struct stat info {};
  if (lstat((folder + "/" + exact).c_str(), &info) == 0) return exact;
  return FolderListings::instance().find(folder, name);
}

// `name` in UTF-8 after `out`; most names are ASCII.
void appendUtf8(std::string& out, StrView name) {
  size_t ascii = 0;
  while (ascii < name.size() && name[ascii] < 0x80) ++ascii;
  const size_t at = out.size();
  out.resize(at + ascii);
  for (size_t i = 0; i < ascii; ++i) out[at + i] = static_cast<char>(name[i]);
  if (ascii < name.size()) out += toUtf8(name.substr(ascii));
}

// A Windows path as the host would spell it, made in one pass: the host path
// (the volume's folder, then each name in UTF-8) and, for each name, its
// text in the Windows path and where it ends in the host path.
struct SpelledPath {
  struct Name {
    const char16_t* start;
    size_t length;
    size_t end;
    StrView text() const { return {start, length}; }
  };
  // The names so far, in room for those of most paths without an allocation.
  class Names {
   public:
    size_t size() const { return size_; }
    const Name& operator[](size_t i) const { return data()[i]; }
    void push_back(const Name& name) {
      if (size_ == capacity()) grow();
      data()[size_++] = name;
    }
    void pop_back() { --size_; }

   private:
    const Name* data() const { return more_.empty() ? few_.data() : more_.data(); }
    Name* data() { return more_.empty() ? few_.data() : more_.data(); }
    size_t capacity() const { return more_.empty() ? few_.size() : more_.size(); }
    void grow() {
      std::vector<Name> bigger(2 * capacity());
      std::copy_n(data(), size_, bigger.begin());
      more_ = std::move(bigger);
    }
    std::array<Name, 24> few_;
    std::vector<Name> more_;
    size_t size_ = 0;
  };

  explicit SpelledPath(std::string& into) : host(into) {}

  std::string& host;
  Names names;
  size_t volumeNames = 0;  // the UNC server and share, which ".." never leaves

  // The names of `rest` between its separators after those already taken;
  // "." and ".." folded as GetFullPathNameW folds them when `fold`:
  // lexically, never above the names that were there before.
  void take(StrView rest, bool fold) {
    if (!takeAscii(rest, fold)) takeAny(rest, fold);
  }
  // Where the names start: the end of the volume's folder.
  void volumeDone() { volumeEnd = host.size(); }
  size_t endOf(size_t count) const { return count == 0 ? volumeEnd : names[count - 1].end; }

 private:
  // take() for the common path, all ASCII: converted whole, one byte a unit
  // with '/' for each separator, then split where the separators are, in
  // place (each name moves, if at all, towards the front). False, having
  // taken nothing, for a path beyond ASCII.
  bool takeAscii(StrView rest, bool fold) {
    const size_t base = host.size();
    // After a separator, as if `rest` began with one.
    const size_t at = !rest.empty() && isSeparator(rest[0]) ? base : base + 1;
    const size_t length = rest.size();
    host.resize(at + length);
    char* const out = host.data();
    out[base] = '/';
    char16_t units = 0;  // every unit or'ed: ASCII when below 0x80
    for (size_t i = 0; i < length; ++i) {
      const char16_t c = rest[i];
      units |= c;
      out[at + i] = c == u'\\' ? '/' : static_cast<char>(c);
    }
    if (units >= 0x80) {
      host.resize(base);
      return false;
    }
    const char* const end = out + at + length;
    size_t size = base;  // the end of the names kept
    for (const char* separator = out + base; separator < end;) {
      const char* const start = separator + 1;
      const void* next = std::memchr(start, '/', static_cast<size_t>(end - start));
      const size_t count = static_cast<size_t>((next ? static_cast<const char*>(next) : end) - start);
      separator = start + count;
      if (count == 0 || (fold && count == 1 && start[0] == '.')) continue;
      if (fold && count == 2 && start[0] == '.' && start[1] == '.') {
        if (names.size() > volumeNames) names.pop_back();
        size = endOf(names.size());
        continue;
      }
      // The name with its separator before it.
      if (out + size != start - 1) std::memmove(out + size, start - 1, count + 1);
      size += count + 1;
      names.push_back({rest.data() + (start - (out + at)), count, size});
    }
    host.resize(size);
    return true;
  }

  // take() for any path: split and converted in one pass, into room made
  // for ASCII names (one byte per unit, and their separators); a name beyond
  // ASCII makes more.
  void takeAny(StrView rest, bool fold) {
    const char16_t* const in = rest.data();
    const size_t length = rest.size();
    size_t size = host.size();
    host.resize(size + length + 1);
    char* out = host.data();
    for (size_t i = 0; i <= length; ++i) {
      const size_t start = i;
      const size_t begin = size;
      out[size++] = '/';
      char16_t units = 0;  // every unit of the name or'ed: ASCII when below 0x80
      for (; i < length && !isSeparator(in[i]); ++i) {
        units |= in[i];
        out[size++] = static_cast<char>(in[i]);
      }
      const bool ascii = units < 0x80;
      const StrView name(in + start, i - start);
      if (name.empty() || (fold && name == u".")) {
        size = begin;
        continue;
      }
      if (fold && name == u"..") {
        if (names.size() > volumeNames) names.pop_back();
        size = endOf(names.size());
        continue;
      }
      if (!ascii) {
        host.resize(begin + 1);
        host += toUtf8(name);
        size = host.size();
        host.resize(size + length - i + 1);
        out = host.data();
      }
      names.push_back({name.data(), name.size(), size});
    }
    host.resize(size);
  }

  size_t volumeEnd = 0;
};

Str backslashed(const std::string& hostTail) {
  Str out = fromUtf8(hostTail);
  for (char16_t& c : out)
    if (c == u'/') c = u'\\';
  return out;
}

// `path` below `root`: the rest after "root/", or nothing.
std::optional<std::string> below(const std::string& path, const std::string& root) {
  if (path.size() > root.size() && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/')
    return path.substr(root.size() + 1);
  if (path == root) return std::string();
  return std::nullopt;
}

// The drive or UNC path of a place inside the root ("drive_c/x" -> "C:\x").
std::optional<Str> windowsPathInRoot(const std::string& rest) {
  if (rest.size() >= 7 && rest.compare(0, 6, "drive_") == 0 && (rest.size() == 7 || rest[7] == '/')) {
    char letter = rest[6];
    if (letter < 'a' || letter > 'y') return std::nullopt;  // Z: is the host's own root
    Str path{static_cast<char16_t>(letter - 'a' + 'A'), u':', u'\\'};
    return path + (rest.size() > 8 ? backslashed(rest.substr(8)) : Str());
  }
  if (rest.compare(0, 4, "unc/") == 0) {
    std::string unc = rest.substr(4);
    size_t server = unc.find('/');
    if (server == std::string::npos || server == 0 || server + 1 >= unc.size()) return std::nullopt;
    return u"\\\\" + backslashed(unc);
  }
  return std::nullopt;
}

std::string normalHostPath(const std::string& path) {
  fs::path p(path);
  if (p.is_relative()) {
    std::error_code ec;
    p = fs::current_path(ec) / p;
  }
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

}  // namespace

Machine::Machine(std::string root) {
  std::string normal = normalHostPath(root);
  MachineSettings settings = settingsFrom(parseIni(readWhole(normal + "/machine.ini")));
  state_ = std::make_shared<const State>(State{std::move(normal), std::move(settings)});
}

namespace {

// The settings of the last machine this process used, read again only when
// its root, its machine.ini or the environment they depend on changed. A
// machine.ini changed less than a moment ago is always read again: its times
// may not yet tell one change from the next.
class SettingsCache {
 public:
  static SettingsCache& instance() {
    static SettingsCache cache;
    return cache;
  }

  // The machine the environment names; with `driveC`, one whose drive C: is
  // there (see Machine::current).
  Machine machine(bool driveC) {
    const MachineEnvironment environment = MachineEnvironment::read();
    std::lock_guard<std::mutex> guard(mutex_);
    // An absolute root depends on nothing but its text, so the last one is kept.
    // ORVEL_MACHINE, the usual case, is compared without a copy.
    std::optional<std::string> made;
    if (environment.machine.empty()) made = environment.root();
    const std::string_view text = made ? std::string_view(*made) : environment.machine;
    if (text.empty() || text.front() != '/' || text != paths_.text) {
      paths_.text = text;
      paths_.root = normalHostPath(paths_.text);
      paths_.ini = paths_.root + "/machine.ini";
      paths_.driveC = paths_.root + "/drive_c";
    }
    // A machine with its drive C: has its root: one look for the common case.
    if (!driveC || isDirectory(paths_.driveC)) return settled(environment);
    // A machine without its drive C: is new, even when someone made its root
    // (to put a drive in it): it gets its machine.ini unless it has one.
    createRoot(paths_.root);
    Machine machine = settled(environment);
    if (!isDirectory(paths_.driveC)) createStandardFolders(machine);
    return machine;
  }

 private:
  // The machine of the root, read again unless its key is the last one's.
  Machine settled(const MachineEnvironment& environment) {
    struct stat info {};
    const bool present = stat(paths_.ini.c_str(), &info) == 0;
    const FileStamp ini = present ? FileStamp::of(info) : FileStamp{};
    if (machine_ && key_.root == paths_.root && key_.ini == ini && key_.lang == environment.lang &&
        key_.user == environment.user && iniSettled())
      return *machine_;
    machine_.emplace(paths_.root);
    key_ = {paths_.root, ini, std::string(environment.lang), std::string(environment.user)};
    return *machine_;
  }

  // Whether the stamp of the machine.ini that was read tells it from any
  // later change. Once so it stays so, as long as the stamp is the same:
  // a change after that moment shows in the file's times.
  bool iniSettled() {
    if (!key_.iniSettled) key_.iniSettled = key_.ini.settled();
    return key_.iniSettled;
  }

  struct Key {
    std::string root;
    FileStamp ini;
    std::string lang;
    std::string user;
    bool iniSettled = false;
  };
  // The root as the environment spells it, and the paths made of it.
  struct Paths {
    std::string text;
    std::string root;
    std::string ini;
    std::string driveC;
  };

  std::mutex mutex_;
  std::optional<Machine> machine_;
  Key key_;
  Paths paths_;
};

}  // namespace

Machine Machine::currentBeforeLookUp() { return SettingsCache::instance().machine(false); }

Machine Machine::current() { return SettingsCache::instance().machine(true); }

void noteNameAdded(const std::string& hostPath, int folderFd) {
  FolderListings::instance().note(hostPath, true, folderFd);
}
void noteNameRemoved(const std::string& hostPath) { FolderListings::instance().note(hostPath, false); }

std::optional<std::string> Machine::hostPath(const Str& windowsPath) const {
  std::optional<HostPlace> place = lookUp(windowsPath);
  if (!place) return std::nullopt;
  return std::move(place->path);
}

namespace {

// The long-path prefixes "\\?\" and "\\.\" name the same places as the
// path after them ("\\?\UNC\server\share" that of "\\server\share"): the
// path without its prefix, and whether it was one of a UNC path, which then
// starts at the server.
std::pair<StrView, bool> withoutLongPathPrefix(StrView path) {
  if (path.size() < 4 || !isSeparator(path[0]) || !isSeparator(path[1]) || (path[2] != u'?' && path[2] != u'.') ||
      !isSeparator(path[3]))
    return {path, false};
  path.remove_prefix(4);
  if (path.size() >= 4 && equalNoCase(path.substr(0, 3), u"UNC") && isSeparator(path[3]))
    return {path.substr(4), true};
  return {path, false};
}

}  // namespace

std::optional<HostPlace> Machine::lookUp(const Str& windowsPath) const {
  // Every return hands back this one, which the place is made in: no copy.
  std::optional<HostPlace> result;
  // Forward slashes are separators as backslashes are, taken as they stand.
  const auto [path, uncPrefix] = withoutLongPathPrefix(windowsPath);
  if (!uncPrefix && !isAbsoluteWindowsPath(path)) return result;

  // A drive's letter, or the UNC path's "server\share..." after the
  // separators or the prefix, where its server and its share end.
  const bool onDrive = !uncPrefix && path[1] == u':';
  const char letter = onDrive ? static_cast<char>(path[0] | 0x20) : 0;
  const StrView unc = onDrive ? StrView() : uncPrefix ? path : path.substr(2);
  size_t share = StrView::npos;
  if (!onDrive) {
    const size_t server = findSeparator(unc, 0);
    if (server == StrView::npos || server == 0 || server + 1 == unc.size()) return result;
    share = findSeparator(unc, server + 1);
    if (share == server + 1) return result;
  }

  HostPlace& place = result.emplace();
  std::string& host = place.path;
  SpelledPath spelled(host);
  host.reserve(root().size() + 8 + 3 * path.size());
  StrView rest;
  if (onDrive) {
    if (letter != 'z') host.append(root()).append("/drive_"sv).push_back(letter);
    spelled.volumeDone();
    rest = path.substr(2);
  } else {
    host.append(root()).append("/unc"sv);
    spelled.volumeDone();
    spelled.take(unc.substr(0, share), false);
    spelled.volumeNames = 2;
    rest = share == StrView::npos ? StrView() : unc.substr(share);
  }
  spelled.take(rest, true);
  const SpelledPath::Names& names = spelled.names;

  // Most paths are spelled as the host spells them: one look at the folder
  // and one at the name in it stand for one look per name, which would find
  // every one of them spelled so. The folder's handle serves the look at the
  // name and the calls that follow; a folder that is a link is looked
  // through at the whole path.
  size_t asSpelled = 0;  // the names found so spelled
  int missed = 0;        // errno of the look at the whole path
  struct stat folderInfo {};
  auto lookAtWhole = [&](int folderFd, const char* name) {
    if (fstatat(folderFd, name, &place.info, AT_SYMLINK_NOFOLLOW) == 0) {
      asSpelled = names.size();
      place.seen = HostPlace::Seen::Found;
      return true;
    }
    missed = errno;
    return false;
  };
  if (names.size() == 1) {
    lookAtWhole(AT_FDCWD, host.c_str());
  } else if (names.size() > 1) {
    const size_t folderEnd = names[names.size() - 2].end;
    host[folderEnd] = '\0';  // the folder, without a copy
    const bool there = lstat(host.c_str(), &folderInfo) == 0;
    host[folderEnd] = '/';
    if (there && S_ISDIR(folderInfo.st_mode))
      place.folder = folderHandle(std::string_view(host).substr(0, folderEnd), folderInfo);
    if (place.folder) {
      if (!lookAtWhole(place.folder->fd(), host.c_str() + folderEnd + 1)) asSpelled = names.size() - 1;
    } else if (there) {
      if (!lookAtWhole(AT_FDCWD, host.c_str())) asSpelled = names.size() - 1;
    } else {
      missed = errno;
    }
  }
  // The rest is found name by name, each in the folder found before it.
  host.resize(spelled.endOf(asSpelled));
  bool existing = true;
  for (size_t i = asSpelled; i < names.size(); ++i) {
    const StrView name = names[i].text();
    std::optional<std::string> found;
    // Under a folder found as spelled, the last name is known not to be.
    if (existing && asSpelled > 0 && asSpelled + 1 == names.size()) {
      found = FolderListings::instance().find(host, name, S_ISLNK(folderInfo.st_mode) ? nullptr : &folderInfo);
      // Not there in any spelling: the folder is there, and its name as spelled was not.
      if (!found && missed == ENOENT) place.seen = HostPlace::Seen::Missing;
    } else if (existing) {
      found = findName(host, name);
    }
    host += '/';
    if (found) {
      host += *found;
    } else {
      existing = false;
      appendUtf8(host, name);
    }
  }
  // A look below the drive's folder that found something, or found the folder
  // of a missing name, found the drive.
  place.showsDriveC = letter == 'c' && asSpelled > 0;
  if (place.folder) place.name = std::string(host, names[names.size() - 2].end + 1);
  bool trailing = !rest.empty() && isSeparator(rest.back()) && names.size() > spelled.volumeNames;
  if (host.empty()) host = "/";
  else if (trailing) host += "/";
  return result;
}

Str Machine::windowsPath(const std::string& hostPath) const {
  std::string path = normalHostPath(hostPath);
  std::optional<std::string> rest = below(path, root());
  if (!rest) {
    // The root may be reached through a symbolic link.
    std::error_code ec;
    std::string realRoot = fs::weakly_canonical(root(), ec).string();
    std::string realPath = fs::weakly_canonical(path, ec).string();
    if (!ec) rest = below(realPath, realRoot);
  }
  if (rest)
    if (auto inRoot = windowsPathInRoot(*rest)) return *inRoot;
  return u"Z:" + (path == "/" ? Str(u"\\") : backslashed(path));
}

}  // namespace orvel::posix
