// The code pages of the emulated machine, from the host's iconv: each code
// page becomes a table once per process, built by converting every byte and
// byte pair on its own, and the conversions look up that table. Converting
// through the tables rather than through iconv directly keeps glibc's own
// helpfulness out: it would write a yen sign in 932 as a backslash, and
// split a Vietnamese letter in 1258 into a letter and a combining mark,
// where Windows (without best fit) writes the default character '?'.
#include "machine/codepages.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <string>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace orvel::posix {
namespace {

constexpr unsigned kUtf8 = 65001;
constexpr char16_t kReplacement = 0xFFFD;

// glibc's iconv knows the Windows code pages as CP<n>; its CP932, CP936,
// CP949 and CP950 are Microsoft's variants (Windows-31J, GBK, UHC, Big5 with
// Microsoft's extensions), the ones Windows uses.
std::optional<std::string> hostName(unsigned codePage) {
  switch (codePage) {
    case 437: case 850: case 852: case 866:
    case 874: case 932: case 936: case 949: case 950:
    case 1250: case 1251: case 1252: case 1253: case 1254: case 1255: case 1256: case 1257: case 1258:
      return "CP" + std::to_string(codePage);
    case 28591: return "ISO-8859-1";
    default: return std::nullopt;
  }
}

bool isDoubleByte(unsigned codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

// One iconv conversion descriptor.
class Iconv {
 public:
  Iconv(const std::string& to, const std::string& from) : handle_(iconv_open(to.c_str(), from.c_str())) {}
  ~Iconv() {
    if (ok()) iconv_close(handle_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  enum class Outcome { Converted, Incomplete, Invalid };
  // Converts the whole input from the initial state.
  Outcome convert(std::string_view in, std::string& out) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    std::string input(in);
    char buffer[16];
    char* source = input.data();
    size_t sourceLeft = input.size();
    char* target = buffer;
    size_t targetLeft = sizeof buffer;
    if (iconv(handle_, &source, &sourceLeft, &target, &targetLeft) == static_cast<size_t>(-1))
      return errno == EINVAL ? Outcome::Incomplete : Outcome::Invalid;
    // A converter that waits for a combining mark gives its last character now.
    if (iconv(handle_, nullptr, nullptr, &target, &targetLeft) == static_cast<size_t>(-1)) return Outcome::Invalid;
    out.assign(buffer, static_cast<size_t>(target - buffer));
    return Outcome::Converted;
  }

 private:
  iconv_t handle_;
};

struct Table {
  std::array<char16_t, 256> single{};
  std::array<bool, 256> lead{};
  std::unordered_map<uint16_t, char16_t> pairs;  // lead << 8 | trail -> character
  std::unordered_map<char16_t, uint16_t> bytes;  // character -> byte, or lead << 8 | trail
  // `bytes` for the characters below U+0100, which most text is made of, so
  // that they are written without a look-up each; kNoBytes where it has none.
  static constexpr uint32_t kNoBytes = 0x10000;
  std::array<uint32_t, 256> lowBytes{};
  // Whether ASCII is one byte each, itself (as in every ANSI code page).
  bool asciiItself = false;
};

// The one UTF-16 unit that iconv made of some bytes.
std::optional<char16_t> oneUnit(Iconv& decoder, std::string_view in, Iconv::Outcome& outcome) {
  std::string out;
  outcome = decoder.convert(in, out);
  if (outcome != Iconv::Outcome::Converted || out.size() != 2) return std::nullopt;
  return static_cast<char16_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
}

std::unique_ptr<const Table> buildTable(unsigned codePage) {
  const std::optional<std::string> name = hostName(codePage);
  if (!name) return nullptr;
  Iconv decoder("UTF-16LE", *name);
  Iconv encoder(*name, "UTF-16LE");
  if (!decoder.ok() || !encoder.ok()) return nullptr;

  auto table = std::make_unique<Table>();
  std::map<char16_t, std::string> found;  // each character at the first bytes that give it
  const bool doubleByte = isDoubleByte(codePage);
  for (unsigned b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    Iconv::Outcome outcome{};
    std::optional<char16_t> c = oneUnit(decoder, byte, outcome);
    if (doubleByte && outcome == Iconv::Outcome::Incomplete) {
      table->lead[b] = true;
      for (unsigned trail = 0x40; trail < 256; ++trail) {
        const std::string pair = byte + static_cast<char>(trail);
        if (std::optional<char16_t> p = oneUnit(decoder, pair, outcome)) {
          table->pairs.emplace(static_cast<uint16_t>(b << 8 | trail), *p);
          found.emplace(*p, pair);
        }
      }
      continue;
    }
    // A byte the host does not define: Windows' tables give the C1 controls
    // their own bytes; anything else is no character.
    if (!c) c = (b >= 0x80 && b < 0xA0) ? static_cast<char16_t>(b) : kReplacement;
    table->single[b] = *c;
    if (*c != kReplacement) found.emplace(*c, byte);
  }

  // A character that several byte sequences give is written as iconv writes
  // it (932: the IBM extensions rather than NEC's copies of them), as long as
  // those bytes read back as the character.
  auto read = [&](std::string_view in) -> std::optional<char16_t> {
    const auto first = static_cast<unsigned char>(in[0]);
    if (in.size() == 1) return table->lead[first] ? std::nullopt : std::optional<char16_t>(table->single[first]);
    auto it = table->pairs.find(static_cast<uint16_t>(first << 8 | static_cast<unsigned char>(in[1])));
    return it == table->pairs.end() ? std::nullopt : std::optional<char16_t>(it->second);
  };
  for (auto& [c, sequence] : found) {
    const char unit[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    std::string written;
    if (encoder.convert(std::string_view(unit, 2), written) == Iconv::Outcome::Converted && !written.empty() &&
        written.size() <= 2 && read(written) == c)
      sequence = written;
    uint16_t value = static_cast<unsigned char>(sequence[0]);
    if (sequence.size() == 2) value = static_cast<uint16_t>(value << 8 | static_cast<unsigned char>(sequence[1]));
    table->bytes.emplace(c, value);
  }
  for (unsigned c = 0; c < 256; ++c) {
    auto it = table->bytes.find(static_cast<char16_t>(c));
    table->lowBytes[c] = it == table->bytes.end() ? Table::kNoBytes : it->second;
  }
  table->asciiItself = true;
  for (unsigned c = 0; c < 0x80; ++c) table->asciiItself = table->asciiItself && table->lowBytes[c] == c;
  return table;
}

// The tables are built from the host's library and never change, so one per
// code page serves the whole process.
const Table* tableFor(unsigned codePage) {
  static std::mutex mutex;
  static std::map<unsigned, std::unique_ptr<const Table>> tables;  // null: the host cannot convert it
  std::lock_guard lock(mutex);
  auto [it, added] = tables.try_emplace(codePage);
  if (added) it->second = buildTable(codePage);
  return it->second.get();
}

}  // namespace

bool knowsCodePage(unsigned codePage) { return codePage == kUtf8 || tableFor(codePage); }

std::string encodeCodePage(StrView text, unsigned codePage) {
  if (codePage == kUtf8) return toUtf8(text);
  const Table* table = tableFor(codePage);
  std::string out;
  out.reserve(text.size());
  // The run of characters that are one byte each, which is most text, goes
  // straight into place; the rest unit by unit.
  size_t single = 0;
  if (table) {
    out.resize(text.size());
    char* to = out.data();
    if (table->asciiItself)
      for (; single < text.size() && text[single] < 0x80; ++single) to[single] = static_cast<char>(text[single]);
    for (; single < text.size() && text[single] < 256; ++single) {
      const uint32_t bytes = table->lowBytes[text[single]];
      if (bytes > 0xFF) break;
      to[single] = static_cast<char>(bytes);
    }
    out.resize(single);
  }
  // Windows converts unit by unit: each half of a surrogate pair is a unit
  // the code page lacks, and becomes a '?' of its own, as Wine does too.
  for (char16_t c : text.substr(single)) {
    if (!table) {
      out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
      continue;
    }
    uint32_t bytes = Table::kNoBytes;
    if (c < 256) {
      bytes = table->lowBytes[c];
    } else if (auto it = table->bytes.find(c); it != table->bytes.end()) {
      bytes = it->second;
    }
    if (bytes == Table::kNoBytes) {
      out.push_back('?');
    } else {
      if (bytes > 0xFF) out.push_back(static_cast<char>(bytes >> 8));
      out.push_back(static_cast<char>(bytes & 0xFF));
    }
  }
  return out;
}

Str decodeCodePage(std::string_view bytes, unsigned codePage) {
  if (codePage == kUtf8) return fromUtf8(bytes);
  const Table* table = tableFor(codePage);
  Str out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (!table) {
      out.push_back(b < 0x80 ? b : u'?');
    } else if (!table->lead[b]) {
      out.push_back(table->single[b]);
    } else {
      // A lead byte without a trail byte it makes a character with stands
      // alone; the next byte is read on its own.
      auto it = i + 1 < bytes.size()
                    ? table->pairs.find(static_cast<uint16_t>(b << 8 | static_cast<unsigned char>(bytes[i + 1])))
                    : table->pairs.end();
      if (it == table->pairs.end()) {
        out.push_back(kReplacement);
      } else {
        out.push_back(it->second);
        ++i;
      }
    }
  }
  return out;
}

}  // namespace orvel::posix
