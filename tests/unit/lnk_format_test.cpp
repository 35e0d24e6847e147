// Encoding and decoding of .lnk files: round trips, the header fields other
// readers rely on, files in forms this encoder does not write, and damage.
#include "formats/lnk_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "tests/support/shllink_layout.h"

namespace orvel::lnk {
namespace {

namespace layout = test::shllink;

uint32_t u32At(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
  return v;
}
uint16_t u16At(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}
void put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

Shortcut fullLink(Str target) {
  Shortcut s;
  s.target = std::move(target);
  s.description = u"Orvel-Draw zeichnen";
  s.workingDirectory = u"C:\\Apps\\OrvelDraw\\";
  s.arguments = u"-open \"C:\\a b\\c.odr\"";
  s.iconLocation = u"C:\\Apps\\OrvelDraw\\icons.dll";
  s.iconIndex = 2;
  s.hotKey = 0x064F;  // Ctrl+Alt+O
  s.showCommand = 3;
  return s;
}

// The link without its LinkInfo, so that a reader has only the item id list.
std::string withoutLinkInfo(std::string bytes) {
  size_t at = layout::kHeaderSize;
  if (u32At(bytes, layout::kLinkFlagsOffset) & layout::kHasLinkTargetIdList) at += 2 + u16At(bytes, at);
  bytes.erase(at, u32At(bytes, at));
  put32(bytes, layout::kLinkFlagsOffset, u32At(bytes, layout::kLinkFlagsOffset) & ~layout::kHasLinkInfo);
  return bytes;
}

// A bare header with the given flags, as another writer might produce it.
std::string header(uint32_t flags) {
  std::string b(layout::kHeaderSize, '\0');
  put32(b, 0, layout::kHeaderSize);
  const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  std::memcpy(&b[4], clsid, 16);
  put32(b, layout::kLinkFlagsOffset, flags);
  put32(b, layout::kShowCommandOffset, 1);
  return b;
}

const Str kLongText(1000, u'x');
const Str kLongName = Str(200, u'n') + u".exe";

struct RoundTripRow {
  const char* name;
  Shortcut link;
};

class LnkRoundTrip : public testing::TestWithParam<RoundTripRow> {};

TEST_P(LnkRoundTrip, DecodeGivesBackWhatWasEncoded) {
  const Shortcut& link = GetParam().link;
  auto decoded = decode(encode(link));
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(toUtf8(decoded->target), toUtf8(link.target));
  EXPECT_EQ(*decoded, link);
}

TEST_P(LnkRoundTrip, ItemIdListAloneGivesTheTarget) {
  const Shortcut& link = GetParam().link;
  auto decoded = decode(withoutLinkInfo(encode(link)));
  if (link.target.empty()) return;  // nothing to fall back to
  ASSERT_TRUE(decoded.has_value());
  // The list holds the drive in capitals and the path elements only.
  Str expected = link.target;
  if (expected.size() > 3 && expected.back() == u'\\') expected.pop_back();
  if (expected[0] >= u'a' && expected[0] <= u'z') expected[0] = char16_t(expected[0] - u'a' + u'A');
  EXPECT_EQ(toUtf8(decoded->target), toUtf8(expected));
}

TEST_P(LnkRoundTrip, EveryTruncationIsRejected) {
  const std::string bytes = encode(GetParam().link);
  for (size_t length = 0; length < bytes.size(); ++length)
    ASSERT_FALSE(decode(std::string_view(bytes).substr(0, length)).has_value()) << "length " << length;
}

Shortcut blanks() { return Shortcut{}; }
Shortcut with(Shortcut s, void (*change)(Shortcut&)) {
  change(s);
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LnkRoundTrip,
    testing::Values(
        RoundTripRow{"LocalFile", fullLink(u"C:\\Apps\\OrvelDraw\\OrvelDraw.exe")},
        RoundTripRow{"LowerCaseDrive", fullLink(u"d:\\x\\y.exe")},
        RoundTripRow{"DriveRoot", fullLink(u"C:\\")},
        RoundTripRow{"UncFile", fullLink(u"\\\\server\\share\\Orvel Draw\\OrvelDraw.exe")},
        RoundTripRow{"UncShareOnly", fullLink(u"\\\\server\\share")},
        RoundTripRow{"Blanks", blanks()},
        RoundTripRow{"TargetOnly", with(blanks(), [](Shortcut& s) { s.target = u"C:\\a.exe"; })},
        RoundTripRow{"NonAsciiLocal",
                     with(fullLink(u"C:\\Programme\\Zeichnung \u00FC\u00DF\\\u03A9mega \u65E5\u672C.exe"),
                          [](Shortcut& s) {
                            s.description = u"Zeichnen \u2013 sch\u00F6n \U0001F58C";
                            s.arguments = u"\u20AC \u00E9";
                            s.workingDirectory = u"C:\\\u00C4\\";
                          })},
        RoundTripRow{"NonAsciiUnc", fullLink(u"\\\\s\u00E9rver\\sh\u00E4re\\\u00DC\\a.exe")},
        RoundTripRow{"LongTexts",
                     with(fullLink(u"C:\\Long\\" + kLongName), [](Shortcut& s) {
                       s.description = kLongText;
                       s.arguments = kLongText;
                       s.workingDirectory = kLongText;
                       s.iconLocation = kLongText;
                     })},
        RoundTripRow{"OddNumbers", with(fullLink(u"C:\\a.exe"),
                                        [](Shortcut& s) {
                                          s.iconIndex = -3;
                                          s.showCommand = 7;
                                          s.hotKey = 0xFFFF;
                                        })}),
    [](const testing::TestParamInfo<RoundTripRow>& row) { return std::string(row.param.name); });

// The header fields that other readers of the file take from fixed offsets.
TEST(LnkFormat, HeaderCarriesShowCommandHotKeyIconIndexAndTargetFacts) {
  FactsOf facts = [](const Str& path) -> std::optional<FileFacts> {
    if (path == u"C:\\Apps\\a.exe") return FileFacts{0x20, 0x01D9'0000'0000'0000ull, 1234};
    if (path == u"C:\\Apps") return FileFacts{0x10, 0, 0};
    return std::nullopt;
  };
  const std::string b = encode(fullLink(u"C:\\Apps\\a.exe"), facts);
  EXPECT_EQ(u32At(b, 0), 0x4Cu);
  EXPECT_EQ(u32At(b, layout::kLinkFlagsOffset), layout::kHasLinkTargetIdList | layout::kHasLinkInfo | layout::kHasName | layout::kHasWorkingDir |
                                            layout::kHasArguments | layout::kHasIconLocation | layout::kIsUnicode);
  EXPECT_EQ(u32At(b, 0x18), 0x20u);                         // attributes
  EXPECT_EQ(u32At(b, 0x2C + 4), 0x01D90000u);               // high half of the write time
  EXPECT_EQ(u32At(b, 0x34), 1234u);                         // size
  EXPECT_EQ(u32At(b, 0x38), 2u);                            // icon index
  EXPECT_EQ(u32At(b, layout::kShowCommandOffset), 3u);
  EXPECT_EQ(u16At(b, layout::kHotKeyOffset), 0x064F);
  EXPECT_EQ(u32At(b, b.size() - 4), 0u);  // terminal block
}

// A link without target, texts or icon has only the Unicode flag.
TEST(LnkFormat, EmptyFieldsSetNoFlags) {
  const std::string b = encode(Shortcut{});
  EXPECT_EQ(u32At(b, layout::kLinkFlagsOffset), layout::kIsUnicode);
  EXPECT_EQ(b.size(), layout::kHeaderSize + 4);
}

// A relative path or a device path is nothing a link object can resolve: no target.
TEST(LnkFormat, TargetThatIsNoDriveOrUncPathIsNotWritten) {
  for (Str target : {u"OrvelDraw.exe", u"\\Apps\\a.exe", u"\\\\server", u"\\\\?\\C:\\a.exe"}) {
    auto decoded = decode(encode(fullLink(target)));
    ASSERT_TRUE(decoded.has_value()) << toUtf8(target);
    EXPECT_EQ(toUtf8(decoded->target), "") << toUtf8(target);
  }
}

// 8-bit texts, as older writers leave them, are read as Windows-1252.
TEST(LnkFormat, AnsiStringsAndAnsiLinkInfoAreReadAsWindows1252) {
  std::string b = header(layout::kHasName | layout::kHasArguments);
  b += std::string("\x03\x00", 2) + "a\xFC\x80";
  b += std::string("\x01\x00", 2) + "\x9C";
  b += std::string(4, '\0');
  auto decoded = decode(b);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(toUtf8(decoded->description), "a\u00FC\u20AC");
  EXPECT_EQ(toUtf8(decoded->arguments), "\u0153");

  std::string local = encode(fullLink(u"C:\\x\\a.exe"));
  size_t at = local.find("C:\\x\\a.exe");
  ASSERT_NE(at, std::string::npos);
  local[at + 5] = '\xFC';
  EXPECT_EQ(toUtf8(decode(local)->target), "C:\\x\\\u00FC.exe");
}

// Extra data blocks that Windows appends (tracker, property store) are skipped.
TEST(LnkFormat, ExtraDataBlocksAreSkipped) {
  std::string b = encode(fullLink(u"C:\\a.exe"));
  std::string block(0x60, '\0');
  put32(block, 0, 0x60);
  put32(block, 4, 0xA0000003);
  b.insert(b.size() - 4, block);
  auto decoded = decode(b);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(*decoded, fullLink(u"C:\\a.exe"));
}

std::string fromHex(std::string_view hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  return bytes;
}

// A shortcut saved by Wine's link object to C:\windows\notepad.exe: its
// strings count their terminator, its file items carry Wine's own name block
// and its drive item another class type.
const std::string kWineShortcut = fromHex(
    "4c0000000114020000000000c000000000000046b70000000000000000000000"
    "0000000000000000000000000000000000000000000000000000000003000000"
    "410600000000000000000000b30014001f00e04fd020ea3a6910a2d808002b30"
    "309d190023433a5c000000000000000000000000000000000000003c00310000"
    "000000895d8138100077696e646f7773002600000000000000895d8138895d82"
    "3800000000770069006e0064006f007700730000001600480032000000000000"
    "00000000006e6f74657061642e657865002e0000000000000000000000000000"
    "00000000006e006f00740065007000610064002e0065007800650000001a0000"
    "00450000001c000000010000001c0000002d0000000000000044000000110000"
    "0003000000000000431000000000433a5c77696e646f77735c6e6f7465706164"
    "2e657865000008004e006f00740069007a002000fc0000000c0043003a005c00"
    "770069006e0064006f00770073005c00000003002f006100000000000000");

TEST(LnkFormat, WineWrittenShortcutIsDecoded) {
  Shortcut expected;
  expected.target = u"C:\\windows\\notepad.exe";
  expected.description = u"Notiz \u00FC";
  expected.workingDirectory = u"C:\\windows\\";
  expected.arguments = u"/a";
  expected.hotKey = 0x0641;
  expected.showCommand = 3;
  auto decoded = decode(kWineShortcut);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(*decoded, expected);
  auto fromIdList = decode(withoutLinkInfo(kWineShortcut));
  ASSERT_TRUE(fromIdList.has_value());
  EXPECT_EQ(toUtf8(fromIdList->target), "C:\\windows\\notepad.exe");
  for (size_t length = 0; length < kWineShortcut.size(); ++length)
    ASSERT_FALSE(decode(kWineShortcut.substr(0, length)).has_value()) << "length " << length;
}

// A link whose LinkInfo is to be ignored takes its target from the item id list.
TEST(LnkFormat, ForceNoLinkInfoFallsBackToTheItemIdList) {
  std::string b = encode(fullLink(u"C:\\Apps\\a.exe"));
  // Let the LinkInfo name another file; the flag says not to believe it.
  size_t at = b.find("C:\\Apps\\a.exe");
  b[at + 8] = 'b';
  put32(b, layout::kLinkFlagsOffset, u32At(b, layout::kLinkFlagsOffset) | 0x100);
  EXPECT_EQ(toUtf8(decode(b)->target), "C:\\Apps\\a.exe");
}

TEST(LnkFormat, NoShellLinkIsRejected) {
  const std::string good = encode(fullLink(u"C:\\a.exe"));
  std::string wrongClsid = good;
  wrongClsid[5] ^= 0x01;
  std::string wrongSize = good;
  wrongSize[0] = 0x4D;
  for (const std::string& b : {std::string(), std::string("[InternetShortcut]\r\nURL=x\r\n"), wrongClsid,
                               wrongSize, std::string(200, '\0')})
    EXPECT_FALSE(decode(b).has_value());
}

// Flags that promise structures the file does not hold.
TEST(LnkFormat, FlagsClaimingMissingBlocksAreRejected) {
  const uint32_t claims[] = {layout::kHasLinkTargetIdList, layout::kHasLinkInfo, layout::kHasName, layout::kHasRelativePath,
                             layout::kHasWorkingDir, layout::kHasArguments, layout::kHasIconLocation};
  for (uint32_t flag : claims) {
    std::string b = encode(Shortcut{});
    put32(b, layout::kLinkFlagsOffset, u32At(b, layout::kLinkFlagsOffset) | flag);
    EXPECT_FALSE(decode(b).has_value()) << "flag " << flag;
  }
}

// Offsets inside the LinkInfo that point outside it or at unterminated text.
TEST(LnkFormat, DamagedLinkInfoIsRejected) {
  const std::string b = encode(fullLink(u"C:\\a.exe"));
  const size_t info = layout::kHeaderSize + 2 + u16At(b, layout::kHeaderSize);
  const uint32_t infoSize = u32At(b, info);
  struct Damage {
    size_t field;
    uint32_t value;
  } damages[] = {{4, 0x10},          // header size below the minimum
                 {4, infoSize + 1},  // header larger than the LinkInfo
                 {16, infoSize},     // local base path offset at the end
                 {16, 0xFFFFFFF0u},  // far outside
                 {24, infoSize + 8},
                 {0, infoSize + 5000}};
  for (const Damage& d : damages) {
    std::string damaged = b;
    put32(damaged, info + d.field, d.value);
    EXPECT_FALSE(decode(damaged).has_value()) << "field " << d.field << " = " << d.value;
  }
  // The local base path without a terminator before the LinkInfo ends.
  std::string unterminated = b;
  const size_t path = unterminated.find("C:\\a.exe", info);
  ASSERT_NE(path, std::string::npos);
  std::fill(unterminated.begin() + path, unterminated.begin() + info + infoSize, 'A');
  EXPECT_FALSE(decode(unterminated).has_value());
}

// Random damage never makes the decoder read out of bounds or hang, and
// whatever it accepts has texts no longer than the file.
TEST(LnkFormat, RandomDamageGivesNothingOrASaneResult) {
  std::mt19937 random(20240501);
  const std::string samples[] = {encode(fullLink(u"C:\\Apps\\OrvelDraw\\OrvelDraw.exe")),
                                 encode(fullLink(u"\\\\server\\share\\\u00DC\\a.exe")), encode(Shortcut{})};
  for (const std::string& sample : samples) {
    for (int round = 0; round < 3000; ++round) {
      std::string b = sample;
      int changes = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < changes; ++i) b[random() % b.size()] = static_cast<char>(random());
      auto decoded = decode(b);
      if (!decoded) continue;
      for (const Str* text : {&decoded->target, &decoded->description, &decoded->arguments,
                              &decoded->workingDirectory, &decoded->iconLocation})
        EXPECT_LE(text->size(), b.size());
    }
  }
}

}  // namespace
}  // namespace orvel::lnk
