#include "formats/registry_file.h"

#include <algorithm>
#include <cstdio>

#include "formats/fold_case.h"
#include "formats/utf16.h"

namespace orvel::regfile {

using formats::compareNoCase;
using formats::equalNoCase;
using formats::fromUtf16;
using formats::toUtf16;

// --- the tree ----------------------------------------------------------------

namespace {

template <typename Entries>
auto lowerBound(Entries& entries, StrView name) {
  return std::lower_bound(entries.begin(), entries.end(), name,
                          [](const auto& entry, StrView n) { return compareNoCase(entry.name, n) < 0; });
}

template <typename Entries>
auto findIn(Entries& entries, StrView name) {
  auto it = lowerBound(entries, name);
  return (it != entries.end() && equalNoCase(it->name, name)) ? &*it : nullptr;
}

template <typename Entries>
bool removeFrom(Entries& entries, StrView name) {
  auto it = lowerBound(entries, name);
  if (it == entries.end() || !equalNoCase(it->name, name)) return false;
  entries.erase(it);
  return true;
}

}  // namespace

KeyNode* KeyNode::findSubKey(StrView n) { return findIn(subKeys, n); }
const KeyNode* KeyNode::findSubKey(StrView n) const { return findIn(subKeys, n); }

KeyNode& KeyNode::ensureSubKey(StrView n) {
  auto it = lowerBound(subKeys, n);
  if (it != subKeys.end() && equalNoCase(it->name, n)) return *it;
  return *subKeys.insert(it, KeyNode{Str(n), {}, {}});
}

bool KeyNode::removeSubKey(StrView n) { return removeFrom(subKeys, n); }

const ValueEntry* KeyNode::findValue(StrView n) const { return findIn(values, n); }

void KeyNode::setValue(StrView n, uint32_t type, std::string data) {
  auto it = lowerBound(values, n);
  if (it != values.end() && equalNoCase(it->name, n)) {
    it->type = type;
    it->data = std::move(data);
  } else {
    values.insert(it, ValueEntry{Str(n), type, std::move(data)});
  }
}

bool KeyNode::removeValue(StrView n) { return removeFrom(values, n); }

KeyNode* KeyNode::find(const std::vector<Str>& path) {
  KeyNode* node = this;
  for (const Str& part : path) {
    node = node->findSubKey(part);
    if (!node) return nullptr;
  }
  return node;
}

const KeyNode* KeyNode::find(const std::vector<Str>& path) const {
  return const_cast<KeyNode*>(this)->find(path);
}

KeyNode& KeyNode::ensure(const std::vector<Str>& path) {
  KeyNode* node = this;
  for (const Str& part : path) node = &node->ensureSubKey(part);
  return *node;
}

bool operator==(const KeyNode& a, const KeyNode& b) {
  return a.name == b.name && a.values == b.values && a.subKeys == b.subKeys;
}

// --- reading -----------------------------------------------------------------

namespace {

constexpr uint32_t kSz = 1;
constexpr uint32_t kBinary = 3;
constexpr uint32_t kDword = 4;

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r'; }

StrView trim(StrView s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

int hexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// A hex number of 1 to maxDigits digits that makes up all of `s`.
bool readHexNumber(StrView s, size_t maxDigits, uint32_t& out) {
  if (s.empty() || s.size() > maxDigits) return false;
  uint32_t v = 0;
  for (char16_t c : s) {
    int d = hexDigit(c);
    if (d < 0) return false;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  out = v;
  return true;
}

bool startsWithNoCase(StrView s, StrView prefix) {
  return s.size() >= prefix.size() && equalNoCase(s.substr(0, prefix.size()), prefix);
}

// The file's text: UTF-16LE after its byte-order mark (as regedit writes
// it), or UTF-8 with or without a mark (as this machine wrote it once).
// Nothing for any other form: UTF-16 big-endian, a torn UTF-16 text, bytes
// that are not UTF-8, a NUL in 8-bit text.
std::optional<Str> decodeText(std::string_view bytes) {
  if (bytes.substr(0, 2) == "\xFE\xFF") return std::nullopt;
  if (bytes.substr(0, 2) == "\xFF\xFE") {
    if (bytes.size() % 2 != 0) return std::nullopt;
    return fromUtf16(bytes.substr(2));
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (bytes.find('\0') != std::string_view::npos) return std::nullopt;
  Str text = fromUtf8(bytes);
  if (toUtf8(text) != bytes) return std::nullopt;
  return text;
}

// Quoted text starting at s[pos] == '"'; on success pos is past the closing quote.
bool readQuoted(StrView s, size_t& pos, Str& out) {
  size_t p = pos + 1;
  Str text;
  while (p < s.size()) {
    char16_t c = s[p++];
    if (c == u'"') {
      out = std::move(text);
      pos = p;
      return true;
    }
    if (c != u'\\') {
      text.push_back(c);
      continue;
    }
    if (p >= s.size()) return false;
    char16_t e = s[p++];
    uint32_t unit = 0;
    switch (e) {
      case u'\\': text.push_back(u'\\'); break;
      case u'"': text.push_back(u'"'); break;
      case u'n': text.push_back(u'\n'); break;
      case u'r': text.push_back(u'\r'); break;
      case u'0': text.push_back(u'\0'); break;
      case u'u':
        if (p + 4 <= s.size() && readHexNumber(s.substr(p, 4), 4, unit)) {
          text.push_back(static_cast<char16_t>(unit));
          p += 4;
        } else {
          text += u"\\u";
        }
        break;
      default:  // not an escape: both characters stand for themselves
        text.push_back(u'\\');
        text.push_back(e);
    }
  }
  return false;
}

// "01,ab,..." (continuations already joined); an empty list is fine, and so is
// one trailing comma.
bool readHexBytes(StrView s, std::string& out) {
  std::string bytes;
  s = trim(s);
  while (!s.empty()) {
    size_t comma = s.find(u',');
    StrView token = trim(s.substr(0, comma));
    uint32_t byte = 0;
    if (!readHexNumber(token, 2, byte)) return false;
    bytes.push_back(static_cast<char>(byte));
    if (comma == StrView::npos) break;
    s = trim(s.substr(comma + 1));
  }
  out = std::move(bytes);
  return true;
}

class Reader {
 public:
  explicit Reader(Hives& hives) : hives_(hives) {}

  // False when a line cannot be read: the text is then not read whole.
  bool run(StrView text) {
    std::vector<StrView> lines;
    for (size_t start = 0; start <= text.size();) {
      size_t end = text.find(u'\n', start);
      if (end == StrView::npos) end = text.size();
      lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
      StrView line = trim(lines[i]);
      if (line.empty() || line.front() == u';' || line.front() == u'#') continue;
      if (line.front() == u'[') {
        if (!readHeader(line)) return false;
      } else if (line.front() == u'"' || line.front() == u'@') {
        // A hex list goes on after a line that ends with "\".
        Str joined(line);
        while (!joined.empty() && joined.back() == u'\\' && i + 1 < lines.size()) {
          joined.pop_back();
          joined += trim(lines[++i]);
        }
        if (!readValue(joined)) return false;
      } else if (line != u"Windows Registry Editor Version 5.00" && line != u"REGEDIT4") {
        return false;
      }
    }
    return true;
  }

 private:
  KeyNode* hive(StrView name) {
    if (equalNoCase(name, u"HKEY_CURRENT_USER") || equalNoCase(name, u"HKCU")) return &hives_.currentUser;
    if (equalNoCase(name, u"HKEY_LOCAL_MACHINE") || equalNoCase(name, u"HKLM")) return &hives_.localMachine;
    return nullptr;
  }

  // "HIVE\name\name..." into its hive and the names below it.
  bool readPath(StrView s, KeyNode*& root, std::vector<Str>& names) {
    size_t pos = std::min(s.find(u'\\'), s.size());
    root = hive(s.substr(0, pos));
    if (!root) return false;
    while (pos < s.size()) {
      ++pos;  // the separator
      Str name;
      size_t next = pos;
      if (pos < s.size() && s[pos] == u'"' && readQuoted(s, next, name) &&
          (next == s.size() || s[next] == u'\\')) {
        pos = next;
      } else {
        next = std::min(s.find(u'\\', pos), s.size());
        name = Str(s.substr(pos, next - pos));
        pos = next;
      }
      if (name.empty()) return false;
      names.push_back(std::move(name));
    }
    return true;
  }

  bool readHeader(StrView line) {
    current_ = nullptr;
    if (line.back() != u']' || line.size() < 3) return false;
    StrView inner = line.substr(1, line.size() - 2);
    bool deletion = inner.front() == u'-';
    if (deletion) inner.remove_prefix(1);
    KeyNode* root = nullptr;
    std::vector<Str> names;
    if (!readPath(inner, root, names)) return false;
    deleted_ = deletion;
    if (!deletion) {
      current_ = &root->ensure(names);
      return true;
    }
    if (names.empty()) return true;  // a hive stays
    Str last = names.back();
    names.pop_back();
    if (KeyNode* parent = root->find(names)) parent->removeSubKey(last);
    return true;
  }

  // A value below a deleted key is passed over, as regedit passes it over;
  // one before the first key belongs nowhere.
  bool readValue(StrView line) {
    if (!current_ && !deleted_) return false;
    size_t pos = 0;
    Str name;
    if (line.front() == u'@') {
      pos = 1;
    } else if (!readQuoted(line, pos, name)) {
      return false;
    }
    StrView rest = trim(line.substr(pos));
    if (rest.empty() || rest.front() != u'=') return false;
    rest = trim(rest.substr(1));
    if (rest == u"-") {
      if (current_) current_->removeValue(name);
      return true;
    }
    uint32_t type = 0;
    std::string data;
    if (!readData(rest, type, data)) return false;
    if (current_) current_->setValue(name, type, std::move(data));
    return true;
  }

  static bool readData(StrView s, uint32_t& type, std::string& data) {
    if (!s.empty() && s.front() == u'"') {
      size_t pos = 0;
      Str text;
      if (!readQuoted(s, pos, text) || pos != s.size()) return false;
      type = kSz;
      data = toUtf16(text);
      data.append(2, '\0');
      return true;
    }
    if (startsWithNoCase(s, u"dword:")) {
      uint32_t v = 0;
      if (!readHexNumber(s.substr(6), 8, v)) return false;
      type = kDword;
      data.assign(reinterpret_cast<const char*>(&v), sizeof v);
      return true;
    }
    if (!startsWithNoCase(s, u"hex")) return false;
    s.remove_prefix(3);
    type = kBinary;
    if (!s.empty() && s.front() == u'(') {
      size_t close = s.find(u')');
      if (close == StrView::npos || !readHexNumber(s.substr(1, close - 1), 8, type)) return false;
      s.remove_prefix(close + 1);
    }
    if (s.empty() || s.front() != u':') return false;
    return readHexBytes(s.substr(1), data);
  }

  Hives& hives_;
  KeyNode* current_ = nullptr;
  bool deleted_ = false;  // below a [-key] header
};

}  // namespace

std::optional<Hives> parse(std::string_view bytes) {
  std::optional<Str> text = decodeText(bytes);
  if (!text) return std::nullopt;
  Hives hives;
  if (!Reader(hives).run(*text)) return std::nullopt;
  return hives;
}

// --- writing -----------------------------------------------------------------

namespace {

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Whether the unit at i is half of a surrogate pair that is not complete.
bool loneSurrogateAt(StrView s, size_t i) {
  if (isHighSurrogate(s[i])) return i + 1 >= s.size() || !isLowSurrogate(s[i + 1]);
  if (isLowSurrogate(s[i])) return i == 0 || !isHighSurrogate(s[i - 1]);
  return false;
}

bool isControl(char16_t c) { return c < 0x20 && c != u'\t'; }

// The writer builds the text in UTF-16 and converts it to the file's bytes once.
void append(Str& out, std::string_view ascii) { out.append(ascii.begin(), ascii.end()); }

void quoted(Str& out, StrView name) {
  out.push_back(u'"');
  for (size_t i = 0; i < name.size(); ++i) {
    char16_t c = name[i];
    switch (c) {
      case u'\\': out += u"\\\\"; continue;
      case u'"': out += u"\\\""; continue;
      case u'\n': out += u"\\n"; continue;
      case u'\r': out += u"\\r"; continue;
      case u'\0': out += u"\\0"; continue;
      default: break;
    }
    if (isControl(c) || loneSurrogateAt(name, i)) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      append(out, escape);
    } else {
      out.push_back(c);
    }
  }
  out.push_back(u'"');
}

void keyComponent(Str& out, StrView name) {
  bool plain = !name.empty() && name.front() != u'"';
  for (size_t i = 0; plain && i < name.size(); ++i)
    plain = !isControl(name[i]) && name[i] != u'\\' && !loneSurrogateAt(name, i);
  if (plain)
    out += name;
  else
    quoted(out, name);
}

void writeHex(Str& out, uint32_t type, const std::string& data) {
  char prefix[24];
  if (type == kBinary)
    std::snprintf(prefix, sizeof prefix, "hex:");
  else
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
  append(out, prefix);
  // Wrapped as regedit wraps: a line holds about 25 bytes, continued by "\".
  // The line's length counts its UTF-8 bytes, as the file's first form did.
  size_t lineStart = out.rfind(u'\n');
  size_t lineLength = 0;
  for (size_t i = lineStart == Str::npos ? 0 : lineStart + 1; i < out.size(); ++i) {
    const char16_t c = out[i];
    lineLength += c < 0x80 ? 1 : c < 0x800 ? 2 : (c >= 0xD800 && c <= 0xDFFF) ? 2 : 3;
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < data.size(); ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    out.push_back(static_cast<char16_t>(kDigits[byte >> 4]));
    out.push_back(static_cast<char16_t>(kDigits[byte & 0xF]));
    if (i + 1 == data.size()) break;
    out += u',';
    lineLength += 3;
    if (lineLength >= 77) {
      out += u"\\\r\n  ";
      lineLength = 2;
    }
  }
}

void writeValue(Str& out, const ValueEntry& value) {
  if (value.name.empty())
    out += u'@';
  else
    quoted(out, value.name);
  out += u'=';
  Str text;
  if (value.type == kSz && plainString(value.data, text)) {
    out += u'"';
    for (char16_t c : text) {
      if (c == u'\\' || c == u'"') out.push_back(u'\\');
      out.push_back(c);
    }
    out += u"\"\r\n";
    return;
  }
  if (value.type == kDword && value.data.size() == 4) {
    uint32_t v = static_cast<unsigned char>(value.data[0]) | (static_cast<unsigned char>(value.data[1]) << 8) |
                 (static_cast<unsigned char>(value.data[2]) << 16) |
                 (static_cast<uint32_t>(static_cast<unsigned char>(value.data[3])) << 24);
    char dword[24];
    std::snprintf(dword, sizeof dword, "dword:%08x\r\n", static_cast<unsigned>(v));
    append(out, dword);
    return;
  }
  writeHex(out, value.type, value.data);
  out += u"\r\n";
}

void writeKey(Str& out, Str& path, const KeyNode& node) {
  out += u'[';
  out += path;
  out += u"]\r\n";
  for (const ValueEntry& value : node.values) writeValue(out, value);
  out += u"\r\n";
  for (const KeyNode& child : node.subKeys) {
    size_t length = path.size();
    path += u'\\';
    keyComponent(path, child.name);
    writeKey(out, path, child);
    path.resize(length);
  }
}

}  // namespace

bool plainString(const std::string& data, Str& text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  Str units;
  units.reserve(data.size() / 2);
  for (size_t i = 0; i < data.size(); i += 2)
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                          (static_cast<unsigned char>(data[i + 1]) << 8)));
  if (units.back() != u'\0') return false;
  units.pop_back();
  for (size_t i = 0; i < units.size(); ++i) {
    if (units[i] == u'\0' || isControl(units[i]) || loneSurrogateAt(units, i)) return false;
  }
  text = std::move(units);
  return true;
}

std::string write(const Hives& hives) {
  Str out = u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n";
  for (const KeyNode* hive : {&hives.currentUser, &hives.localMachine}) {
    Str path = hive->name;
    writeKey(out, path, *hive);
  }
  return toUtf16(out);
}

namespace {

Str header(StrView hive, const std::vector<Str>& path, bool deletion) {
  Str out = deletion ? u"[-" : u"[";
  out += hive;
  for (const Str& name : path) {
    out += u'\\';
    keyComponent(out, name);
  }
  out += u"]\r\n";
  return out;
}

}  // namespace

std::string keyBlock(StrView hive, const std::vector<Str>& path, const std::vector<ValueEntry>& values) {
  Str out = header(hive, path, false);
  for (const ValueEntry& value : values) writeValue(out, value);
  out += u"\r\n";
  return toUtf16(out);
}

std::string valueDeletionBlock(StrView hive, const std::vector<Str>& path, StrView name) {
  Str out = header(hive, path, false);
  if (name.empty())
    out += u'@';
  else
    quoted(out, name);
  out += u"=-\r\n\r\n";
  return toUtf16(out);
}

std::string keyDeletionBlock(StrView hive, const std::vector<Str>& path) {
  return toUtf16(header(hive, path, true) + u"\r\n");
}

std::string endMark() { return toUtf16(u";orvel: end of change\r\n"); }

WholePart wholePart(std::string_view bytes) {
  // The mark stands at the start of a line, at an even offset (UTF-16LE).
  const std::string mark = endMark();
  const std::string lineEnd = toUtf16(u"\n");
  for (size_t at = bytes.rfind(mark); at != std::string_view::npos; at = at == 0 ? std::string_view::npos : bytes.rfind(mark, at - 1)) {
    if (at % 2 != 0) continue;
    if (at >= lineEnd.size() && bytes.substr(at - lineEnd.size(), lineEnd.size()) != lineEnd) continue;
    return {at + mark.size(), true};
  }
  return {bytes.size(), false};
}

}  // namespace orvel::regfile
