#include "formats/lnk_format.h"

#include <array>
#include <cstring>
#include <vector>

namespace orvel::lnk {
namespace {

using Guid = std::array<uint8_t, 16>;

// {00021401-0000-0000-C000-000000000046}, as stored (little-endian fields).
constexpr Guid kShellLinkClsid = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                  0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// {20D04FE0-3AEA-1069-A2D8-08002B30309D}
constexpr Guid kMyComputer = {0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                              0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};
// {208D2C60-3AEA-1069-A2D7-08002B30309D}
constexpr Guid kNetwork = {0x60, 0x2C, 0x8D, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                           0xA2, 0xD7, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};

constexpr uint32_t kForceNoLinkInfo = 0x100;

// Shell item class types.
constexpr uint8_t kRootFolderItem = 0x1F;
constexpr uint8_t kMyComputerSortIndex = 0x50;
constexpr uint8_t kNetworkSortIndex = 0x58;
constexpr uint8_t kDriveItem = 0x2F;
constexpr uint8_t kFolderItem = 0x31;
constexpr uint8_t kFileItem = 0x32;
constexpr uint8_t kUnicodeNameFlag = 0x04;
constexpr uint8_t kServerItem = 0x42;
constexpr uint8_t kShareItem = 0xC3;  // a share item that carries a description
constexpr uint8_t kHasDescription = 0x80;
constexpr uint32_t kFileEntryExtension = 0xBEEF0004;
constexpr uint16_t kExtensionVersion = 9;  // as Windows 8 and later write it

// LinkInfo.
constexpr uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr uint32_t kCommonNetworkRelativeLink = 0x2;
constexpr uint32_t kLinkInfoHeaderAnsi = 0x1C;
constexpr uint32_t kLinkInfoHeaderUnicode = 0x24;
constexpr uint32_t kDriveFixed = 3;
constexpr uint32_t kValidNetType = 0x2;
constexpr uint32_t kNetworkProviderLanman = 0x00020000;

constexpr uint32_t kDirectoryAttribute = 0x10;
constexpr size_t kMaxStringChars = 0xFFFF;

// Windows-1252 at 0x80..0x9F; the five unassigned bytes map to themselves.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t fromCp1252(uint8_t byte) {
  return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char16_t(byte);
}

char toCp1252(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (size_t i = 0; i < 32; ++i)
    if (kCp1252High[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

std::string ansi(StrView text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(toCp1252(c));
  return out;
}

bool isAscii(StrView text) {
  for (char16_t c : text)
    if (c >= 0x80) return false;
  return true;
}

// ---------------------------------------------------------------------------
// Writing

class Writer {
 public:
  void u8(uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
  void u16(uint16_t v) { u8(v & 0xFF), u8(v >> 8); }
  void u32(uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); }
  void u64(uint64_t v) { u32(v & 0xFFFFFFFFu), u32(v >> 32); }
  void raw(std::string_view s) { bytes_.append(s); }
  void guid(const Guid& g) { bytes_.append(reinterpret_cast<const char*>(g.data()), g.size()); }
  void zeros(size_t n) { bytes_.append(n, '\0'); }
  void cstring(std::string_view s) { raw(s), u8(0); }
  void wstring(StrView s) {
    for (char16_t c : s) u16(c);
    u16(0);
  }
  void patch16(size_t at, uint16_t v) {
    bytes_[at] = static_cast<char>(v & 0xFF);
    bytes_[at + 1] = static_cast<char>(v >> 8);
  }
  void patch32(size_t at, uint32_t v) {
    patch16(at, v & 0xFFFF);
    patch16(at + 2, v >> 16);
  }
  size_t size() const { return bytes_.size(); }
  const std::string& bytes() const { return bytes_; }
  std::string take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

// A target split into its root and the elements below it.
struct TargetPath {
  enum class Kind { None, Drive, Network } kind = Kind::None;
  Str driveRoot;  // "C:\"
  Str server;     // "\\server"
  Str share;      // "\\server\share"
  Str suffix;     // the text after "\\server\share\"
  std::vector<Str> elements;
};

std::vector<Str> splitElements(StrView rest) {
  std::vector<Str> elements;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find(u'\\', start);
    if (end == StrView::npos) end = rest.size();
    if (end > start) elements.emplace_back(rest.substr(start, end - start));
    start = end + 1;
  }
  return elements;
}

bool isDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

TargetPath parseTarget(const Str& path) {
  TargetPath t;
  if (path.size() >= 2 && isDriveLetter(path[0]) && path[1] == u':' &&
      (path.size() == 2 || path[2] == u'\\')) {
    t.kind = TargetPath::Kind::Drive;
    char16_t letter = path[0] >= u'a' ? char16_t(path[0] - u'a' + u'A') : path[0];
    t.driveRoot = Str{letter, u':', u'\\'};
    if (path.size() > 3) t.elements = splitElements(StrView(path).substr(3));
    return t;
  }
  if (path.size() > 2 && path[0] == u'\\' && path[1] == u'\\') {
    size_t serverEnd = path.find(u'\\', 2);
    if (serverEnd == Str::npos || serverEnd == 2) return t;
    size_t shareEnd = path.find(u'\\', serverEnd + 1);
    if (shareEnd == Str::npos) shareEnd = path.size();
    if (shareEnd == serverEnd + 1 || path[2] == u'?' || path[2] == u'.') return t;
    t.kind = TargetPath::Kind::Network;
    t.server = path.substr(0, serverEnd);
    t.share = path.substr(0, shareEnd);
    if (shareEnd < path.size()) t.suffix = path.substr(shareEnd + 1);
    t.elements = splitElements(t.suffix);
  }
  return t;
}

// 8.3 names: the name itself when it already is one, else the first six
// valid characters, "~1" and the first three of the extension, upper case.
bool isShortNameChar(char16_t c) {
  if (c <= 0x20 || c >= 0x7F) return false;
  return Str(u"\"*+,/:;<=>?[\\]|").find(c) == Str::npos;
}

std::string shortName(const Str& name) {
  size_t dot = name.rfind(u'.');
  Str base = dot == Str::npos ? name : name.substr(0, dot);
  Str ext = dot == Str::npos ? Str() : name.substr(dot + 1);
  bool fits = !base.empty() && base.size() <= 8 && ext.size() <= 3 &&
              (dot == Str::npos || !ext.empty());
  for (char16_t c : base + ext)
    if (!isShortNameChar(c) || c == u'.') fits = false;
  if (fits) return ansi(name);

  auto squeeze = [](const Str& s, size_t max) {
    std::string out;
    for (char16_t c : s) {
      if (out.size() == max) break;
      if (c == u' ' || c == u'.') continue;
      char ch = isShortNameChar(c) ? static_cast<char>(c) : '_';
      if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
      out.push_back(ch);
    }
    return out;
  };
  std::string shortBase = squeeze(base, 6);
  if (shortBase.empty()) shortBase = "_";
  std::string shortExt = squeeze(ext, 3);
  return shortBase + "~1" + (shortExt.empty() ? "" : "." + shortExt);
}

// FILETIME as FAT date (low word) and time (high word), UTC; 0 outside 1980..2107.
uint32_t fatDateTime(uint64_t filetime) {
  constexpr int64_t kUnixEpochAsFiletimeSeconds = 11644473600;
  int64_t seconds = static_cast<int64_t>(filetime / 10000000) - kUnixEpochAsFiletimeSeconds;
  if (filetime == 0 || seconds < 315532800) return 0;  // before 1980-01-01
  int64_t days = seconds / 86400;
  int64_t secondOfDay = seconds % 86400;
  // Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
  int64_t z = days + 719468;
  int64_t era = z / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  if (year > 2107) return 0;
  uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
  uint32_t time = static_cast<uint32_t>(((secondOfDay / 3600) << 11) | (((secondOfDay / 60) % 60) << 5) |
                                        ((secondOfDay % 60) / 2));
  return date | (time << 16);
}

std::string rootItem(const Guid& clsid, uint8_t sortIndex) {
  Writer w;
  w.u16(20);
  w.u8(kRootFolderItem);
  w.u8(sortIndex);
  w.guid(clsid);
  return w.take();
}

std::string driveItem(const Str& root) {
  constexpr uint16_t kSize = 25;
  Writer w;
  w.u16(kSize);
  w.u8(kDriveItem);
  w.raw(ansi(root));
  w.zeros(kSize - w.size());
  return w.take();
}

std::string networkItem(uint8_t type, const Str& location, std::string_view description = {}) {
  Writer w;
  w.u16(0);
  w.u8(type);
  w.u8(0);
  w.u8(description.empty() ? 0 : kHasDescription);
  w.cstring(ansi(location));
  if (!description.empty()) w.cstring(description);
  w.u16(0);
  w.patch16(0, static_cast<uint16_t>(w.size()));
  return w.take();
}

// A file-system item: the short name, then the extension block with the long
// name, as the shell writes it. Nothing when the name makes it too large.
std::optional<std::string> fileItem(const Str& name, bool folder, const std::optional<FileFacts>& facts) {
  Writer w;
  w.u16(0);
  w.u8(folder ? kFolderItem : kFileItem);
  w.u8(0);
  w.u32(folder || !facts ? 0 : static_cast<uint32_t>(facts->size));
  uint32_t modified = facts ? fatDateTime(facts->writeTime) : 0;
  w.u32(modified);
  w.u16(static_cast<uint16_t>(facts ? facts->attributes : (folder ? kDirectoryAttribute : 0)));
  w.cstring(shortName(name));
  if (w.size() % 2) w.u8(0);

  const size_t extension = w.size();
  w.u16(0);
  w.u16(kExtensionVersion);
  w.u32(kFileEntryExtension);
  w.u32(modified);  // creation
  w.u32(modified);  // last access
  w.u16(0x2E);      // where the long name starts in this block (version 9)
  w.u16(0);
  w.u64(0);  // NTFS file reference
  w.u64(0);
  w.u16(0);  // no localised name
  w.u32(0);
  w.u32(0);
  w.wstring(name);
  w.u16(static_cast<uint16_t>(extension));
  if (w.size() > 0xFFFF) return std::nullopt;
  w.patch16(extension, static_cast<uint16_t>(w.size() - extension));
  w.patch16(0, static_cast<uint16_t>(w.size()));
  return w.take();
}

Str joinPath(const Str& base, const Str& name) {
  if (base.empty() || base.back() == u'\\') return base + name;
  return base + u'\\' + name;
}

std::optional<FileFacts> factsFor(const FactsOf& factsOf, const Str& path) {
  return factsOf ? factsOf(path) : std::nullopt;
}

// The item id list, or nothing when the path cannot be expressed as one.
std::optional<std::string> idList(const TargetPath& target, const FactsOf& factsOf) {
  std::string items;
  Str path;
  if (target.kind == TargetPath::Kind::Drive) {
    items = rootItem(kMyComputer, kMyComputerSortIndex) + driveItem(target.driveRoot);
    path = target.driveRoot;
  } else {
    items = rootItem(kNetwork, kNetworkSortIndex) + networkItem(kServerItem, target.server) +
            networkItem(kShareItem, target.share, "Microsoft Windows Network");
    path = target.share;
  }
  for (size_t i = 0; i < target.elements.size(); ++i) {
    path = joinPath(path, target.elements[i]);
    auto facts = factsFor(factsOf, path);
    bool folder = facts ? (facts->attributes & kDirectoryAttribute) != 0 : i + 1 < target.elements.size();
    auto item = fileItem(target.elements[i], folder, facts);
    if (!item) return std::nullopt;
    items += *item;
  }
  if (items.size() + 2 > 0xFFFF) return std::nullopt;
  Writer w;
  w.u16(static_cast<uint16_t>(items.size() + 2));
  w.raw(items);
  w.u16(0);
  return w.take();
}

// LinkInfo for a drive path: VolumeID and the local base path.
std::string localLinkInfo(const Str& path, const TargetPath& target) {
  const bool unicode = !isAscii(path);
  const uint32_t headerSize = unicode ? kLinkInfoHeaderUnicode : kLinkInfoHeaderAnsi;
  Writer w;
  w.u32(0);
  w.u32(headerSize);
  w.u32(kVolumeIdAndLocalBasePath);
  w.u32(0);  // VolumeID offset
  w.u32(0);  // local base path offset
  w.u32(0);  // no network link
  w.u32(0);  // common path suffix offset
  if (unicode) w.u32(0), w.u32(0);

  w.patch32(12, static_cast<uint32_t>(w.size()));
  w.u32(0x11);  // VolumeID: 16 bytes and the empty label
  w.u32(kDriveFixed);
  w.u32(0x0BE10000u | target.driveRoot[0]);  // a serial number of the drive's own
  w.u32(0x10);
  w.u8(0);

  w.patch32(16, static_cast<uint32_t>(w.size()));
  w.cstring(ansi(path));
  w.patch32(24, static_cast<uint32_t>(w.size()));
  w.u8(0);
  if (unicode) {
    w.patch32(28, static_cast<uint32_t>(w.size()));
    w.wstring(path);
    w.patch32(32, static_cast<uint32_t>(w.size()));
    w.u16(0);
  }
  w.patch32(0, static_cast<uint32_t>(w.size()));
  return w.take();
}

// LinkInfo for a UNC path: the share (CommonNetworkRelativeLink) and the path below it.
std::string networkLinkInfo(const TargetPath& target) {
  const bool unicode = !isAscii(target.share) || !isAscii(target.suffix);
  const uint32_t headerSize = unicode ? kLinkInfoHeaderUnicode : kLinkInfoHeaderAnsi;
  Writer w;
  w.u32(0);
  w.u32(headerSize);
  w.u32(kCommonNetworkRelativeLink);
  w.u32(0);
  w.u32(0);
  w.u32(0);  // network link offset
  w.u32(0);  // common path suffix offset
  if (unicode) w.u32(0), w.u32(0);

  const size_t link = w.size();
  w.patch32(20, static_cast<uint32_t>(link));
  w.u32(0);
  w.u32(kValidNetType);
  w.u32(unicode ? 0x1C : 0x14);  // net name offset
  w.u32(0);                       // no device
  w.u32(kNetworkProviderLanman);
  if (unicode) w.u32(0), w.u32(0);
  w.cstring(ansi(target.share));
  if (unicode) {
    w.patch32(link + 0x14, static_cast<uint32_t>(w.size() - link));
    w.wstring(target.share);
  }
  w.patch32(link, static_cast<uint32_t>(w.size() - link));

  w.patch32(24, static_cast<uint32_t>(w.size()));
  w.cstring(ansi(target.suffix));
  if (unicode) {
    w.patch32(32, static_cast<uint32_t>(w.size()));
    w.wstring(target.suffix);
  }
  w.patch32(0, static_cast<uint32_t>(w.size()));
  return w.take();
}

void stringData(Writer& w, const Str& text) {
  size_t count = std::min(text.size(), kMaxStringChars);
  w.u16(static_cast<uint16_t>(count));
  for (size_t i = 0; i < count; ++i) w.u16(text[i]);
}

// ---------------------------------------------------------------------------
// Reading: every access is checked against the bytes that are there.

class View {
 public:
  explicit View(std::string_view bytes) : bytes_(bytes) {}
  size_t size() const { return bytes_.size(); }
  bool fits(size_t at, size_t n) const { return at <= bytes_.size() && n <= bytes_.size() - at; }
  uint8_t u8(size_t at) const { return static_cast<uint8_t>(bytes_[at]); }
  uint16_t u16(size_t at) const { return static_cast<uint16_t>(u8(at) | (u8(at + 1) << 8)); }
  uint32_t u32(size_t at) const { return u16(at) | (static_cast<uint32_t>(u16(at + 2)) << 16); }
  bool equals(size_t at, const Guid& g) const {
    return fits(at, g.size()) && std::memcmp(bytes_.data() + at, g.data(), g.size()) == 0;
  }
  View sub(size_t at, size_t n) const { return View(bytes_.substr(at, n)); }

  // A zero-terminated 8-bit text at `at`; nothing when it runs off the end.
  std::optional<Str> ansiAt(size_t at) const {
    if (at >= bytes_.size()) return std::nullopt;
    size_t end = bytes_.find('\0', at);
    if (end == std::string_view::npos) return std::nullopt;
    Str out;
    for (size_t i = at; i < end; ++i) out.push_back(fromCp1252(u8(i)));
    return out;
  }
  // A zero-terminated UTF-16 text at `at`.
  std::optional<Str> wideAt(size_t at) const {
    Str out;
    for (size_t i = at; fits(i, 2); i += 2) {
      char16_t c = u16(i);
      if (c == 0) return out;
      out.push_back(c);
    }
    return std::nullopt;
  }

 private:
  std::string_view bytes_;
};

std::optional<Str> textAt(const View& v, uint32_t ansiOffset, uint32_t wideOffset) {
  if (wideOffset != 0) return v.wideAt(wideOffset);
  if (ansiOffset != 0) return v.ansiAt(ansiOffset);
  return Str();
}

std::optional<Str> networkPath(const View& info, uint32_t at, const Str& suffix) {
  if (!info.fits(at, 0x14)) return std::nullopt;
  uint32_t size = info.u32(at);
  if (size < 0x14 || !info.fits(at, size)) return std::nullopt;
  View link = info.sub(at, size);
  uint32_t nameOffset = link.u32(8);
  uint32_t wideNameOffset = 0;
  if (nameOffset > 0x14) {
    if (!link.fits(0x14, 4)) return std::nullopt;
    wideNameOffset = link.u32(0x14);
  }
  auto name = textAt(link, nameOffset, wideNameOffset);
  if (!name) return std::nullopt;
  return suffix.empty() ? *name : joinPath(*name, suffix);
}

// The target held by a LinkInfo; nothing when it is damaged.
std::optional<Str> pathFromLinkInfo(const View& info) {
  uint32_t headerSize = info.u32(4);
  if (headerSize < kLinkInfoHeaderAnsi || headerSize > info.size()) return std::nullopt;
  uint32_t flags = info.u32(8);
  uint32_t localOffset = info.u32(16), linkOffset = info.u32(20), suffixOffset = info.u32(24);
  uint32_t wideLocalOffset = 0, wideSuffixOffset = 0;
  if (headerSize >= kLinkInfoHeaderUnicode) {
    wideLocalOffset = info.u32(28);
    wideSuffixOffset = info.u32(32);
  }
  auto suffix = textAt(info, suffixOffset, wideSuffixOffset);
  if (!suffix) return std::nullopt;
  if ((flags & kCommonNetworkRelativeLink) && linkOffset != 0) return networkPath(info, linkOffset, *suffix);
  if (flags & kVolumeIdAndLocalBasePath) {
    auto base = textAt(info, localOffset, wideLocalOffset);
    if (!base) return std::nullopt;
    return *base + *suffix;
  }
  return Str();
}

// The long name of a file-system item from its extension block, else its primary name.
std::optional<Str> fileItemName(const View& item) {
  const bool wide = item.u8(2) & kUnicodeNameFlag;
  constexpr size_t kNameAt = 14;
  if (!item.fits(kNameAt, 1)) return std::nullopt;
  auto primary = wide ? item.wideAt(kNameAt) : item.ansiAt(kNameAt);
  if (!primary) return std::nullopt;

  // The item's last word gives where its first extension block starts.
  size_t at = item.u16(item.size() - 2);
  if (at >= kNameAt && item.fits(at, 18) && at + 18 <= item.size() - 2 &&
      item.u32(at + 4) == kFileEntryExtension) {
    size_t blockSize = item.u16(at);
    uint16_t version = item.u16(at + 2);
    size_t nameAt = version >= 9 ? 46 : version == 8 ? 42 : version == 7 ? 38 : version >= 3 ? 20 : 0;
    if (nameAt != 0 && blockSize <= item.size() - at && nameAt < blockSize) {
      if (auto name = item.sub(at, blockSize).wideAt(nameAt)) return name;
    }
  }
  return primary;
}

// The path of an item id list, empty when its form is not one the shell
// uses for a file-system or network path; nothing when it is damaged.
std::optional<Str> pathFromIdList(const View& list) {
  std::vector<View> items;
  for (size_t at = 0;;) {
    if (!list.fits(at, 2)) return std::nullopt;
    size_t size = list.u16(at);
    if (size == 0) break;
    if (size < 3 || !list.fits(at, size)) return std::nullopt;
    items.push_back(list.sub(at, size));
    at += size;
  }
  if (items.empty() || items[0].size() < 20 || items[0].u8(2) != kRootFolderItem) return Str();

  size_t next = 1;
  Str path;
  if (items[0].equals(4, kMyComputer)) {
    if (items.size() < 2 || (items[1].u8(2) & 0x70) != 0x20) return Str();
    auto drive = items[1].ansiAt(3);
    if (!drive || drive->size() < 2 || (*drive)[1] != u':') return Str();
    path = drive->substr(0, 2) + u'\\';
    next = 2;
  } else if (items[0].equals(4, kNetwork)) {
    while (next < items.size() && (items[next].u8(2) & 0x70) == 0x40 && items[next].size() > 5) {
      auto location = items[next].ansiAt(5);
      if (!location) return std::nullopt;
      path = *location;
      ++next;
    }
    if (path.empty()) return Str();
  } else {
    return Str();
  }
  for (; next < items.size(); ++next) {
    if ((items[next].u8(2) & 0x70) != 0x30) return Str();
    auto name = fileItemName(items[next]);
    if (!name) return std::nullopt;
    path = joinPath(path, *name);
  }
  return path;
}

}  // namespace

std::string encode(const Shortcut& link, const FactsOf& factsOf) {
  const TargetPath target = parseTarget(link.target);
  const bool hasTarget = target.kind != TargetPath::Kind::None;
  const auto targetFacts = hasTarget ? factsFor(factsOf, link.target) : std::nullopt;
  const auto ids = hasTarget ? idList(target, factsOf) : std::nullopt;

  uint32_t flags = kIsUnicode;
  if (ids) flags |= kHasLinkTargetIdList;
  if (hasTarget) flags |= kHasLinkInfo;
  if (!link.description.empty()) flags |= kHasName;
  if (!link.workingDirectory.empty()) flags |= kHasWorkingDir;
  if (!link.arguments.empty()) flags |= kHasArguments;
  if (!link.iconLocation.empty()) flags |= kHasIconLocation;

  Writer w;
  w.u32(kHeaderSize);
  w.guid(kShellLinkClsid);
  w.u32(flags);
  w.u32(targetFacts ? targetFacts->attributes : 0);
  const uint64_t time = targetFacts ? targetFacts->writeTime : 0;
  w.u64(time);  // creation
  w.u64(time);  // last access
  w.u64(time);  // last write
  w.u32(targetFacts ? static_cast<uint32_t>(targetFacts->size) : 0);
  w.u32(static_cast<uint32_t>(link.iconIndex));
  w.u32(link.showCommand);
  w.u16(link.hotKey);
  w.zeros(10);

  if (ids) w.raw(*ids);
  if (target.kind == TargetPath::Kind::Drive) w.raw(localLinkInfo(link.target, target));
  if (target.kind == TargetPath::Kind::Network) w.raw(networkLinkInfo(target));

  if (flags & kHasName) stringData(w, link.description);
  if (flags & kHasWorkingDir) stringData(w, link.workingDirectory);
  if (flags & kHasArguments) stringData(w, link.arguments);
  if (flags & kHasIconLocation) stringData(w, link.iconLocation);
  w.u32(0);  // no extra data blocks
  return w.take();
}

std::optional<Shortcut> decode(std::string_view bytes) {
  const View v(bytes);
  if (!v.fits(0, kHeaderSize) || v.u32(0) != kHeaderSize || !v.equals(4, kShellLinkClsid))
    return std::nullopt;
  const uint32_t flags = v.u32(kLinkFlagsOffset);
  Shortcut link;
  link.iconIndex = static_cast<int32_t>(v.u32(0x38));
  link.showCommand = v.u32(kShowCommandOffset);
  link.hotKey = v.u16(kHotKeyOffset);

  size_t at = kHeaderSize;
  Str idListPath;
  if (flags & kHasLinkTargetIdList) {
    if (!v.fits(at, 2)) return std::nullopt;
    size_t size = v.u16(at);
    at += 2;
    if (!v.fits(at, size)) return std::nullopt;
    auto path = pathFromIdList(v.sub(at, size));
    if (!path) return std::nullopt;
    idListPath = *path;
    at += size;
  }
  Str linkInfoPath;
  if (flags & kHasLinkInfo) {
    if (!v.fits(at, 4)) return std::nullopt;
    size_t size = v.u32(at);
    if (size < kLinkInfoHeaderAnsi || !v.fits(at, size)) return std::nullopt;
    auto path = pathFromLinkInfo(v.sub(at, size));
    if (!path) return std::nullopt;
    if (!(flags & kForceNoLinkInfo)) linkInfoPath = *path;
    at += size;
  }
  link.target = linkInfoPath.empty() ? idListPath : linkInfoPath;

  const bool unicode = flags & kIsUnicode;
  auto readString = [&](Str& out) {
    if (!v.fits(at, 2)) return false;
    size_t count = v.u16(at);
    at += 2;
    size_t length = unicode ? count * 2 : count;
    if (!v.fits(at, length)) return false;
    out.clear();
    for (size_t i = 0; i < count; ++i) out.push_back(unicode ? v.u16(at + 2 * i) : fromCp1252(v.u8(at + i)));
    at += length;
    // Wine counts the terminator too; the shell's getters stop at it.
    if (size_t end = out.find(u'\0'); end != Str::npos) out.resize(end);
    return true;
  };
  Str relativePath;
  const std::pair<uint32_t, Str*> strings[] = {{kHasName, &link.description},
                                               {kHasRelativePath, &relativePath},
                                               {kHasWorkingDir, &link.workingDirectory},
                                               {kHasArguments, &link.arguments},
                                               {kHasIconLocation, &link.iconLocation}};
  for (const auto& [flag, field] : strings)
    if ((flags & flag) && !readString(*field)) return std::nullopt;

  // Extra data blocks up to the terminal block (size below 4).
  for (;;) {
    if (!v.fits(at, 4)) return std::nullopt;
    size_t size = v.u32(at);
    if (size < 4) break;
    if (size < 8 || !v.fits(at, size)) return std::nullopt;
    at += size;
  }
  return link;
}

}  // namespace orvel::lnk
