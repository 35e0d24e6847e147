// Fuzzes the two parsers of registry mode's outside input: the settings list
// (entries and fields) and the machine INI file, and checks that an INI file
// written back reads as the same entries, and that an entry the store accepts
// changes no other entry.
#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/convert.h"
#include "common/fmx_utils.h"
#include "common/mem_ini_file.h"
#include "platform/system.h"
#include "updater/updater.h"

namespace {

using orvel::MemIniFile;
using orvel::Str;

void check(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "violated: %s\n", what);
    abort();
  }
}

size_t count(const Str& s, char16_t c) {
  size_t n = 0;
  for (char16_t x : s) n += x == c;
  return n;
}

void fuzzSettingsList(const Str& list) {
  const auto entries = orvel::ParseSettingsList(list);
  std::vector<Str> raw;
  for (const Str& entry : orvel::SplitString(u'#', list))
    if (!entry.empty()) raw.push_back(entry);
  check(entries.size() == raw.size(), "one entry per non-empty text between separators");
  for (size_t i = 0; i < raw.size(); ++i) {
    const auto& e = entries[i];
    for (const Str* field : {&e.key, &e.name, &e.value}) check(count(*field, u'|') == 0, "| in key, name or value");
    // The fields are taken from the left; a missing "|" leaves its field empty.
    switch (count(raw[i], u'|')) {
      case 0: check(e.key.empty() && e.name.empty() && e.value.empty() && e.type == raw[i], "no bar"); break;
      case 1: check(e.name.empty() && e.value.empty() && e.key + u"|" + e.type == raw[i], "one bar"); break;
      case 2: check(e.value.empty() && e.key + u"|" + e.name + u"|" + e.type == raw[i], "two bars"); break;
      default: check(e.key + u"|" + e.name + u"|" + e.value + u"|" + e.type == raw[i], "fields rejoin"); break;
    }
  }
}

// Every (section, name) -> value as the first match reads it.
std::map<std::pair<Str, Str>, Str> entriesOf(const MemIniFile& ini) {
  std::map<std::pair<Str, Str>, Str> entries;
  for (const Str& section : ini.ReadSections())
    for (const Str& name : ini.ReadSection(section))
      entries.emplace(std::make_pair(orvel::UpperCase(section), orvel::UpperCase(name)),
                      ini.ReadString(section, name, u"\x01missing"));
  return entries;
}

MemIniFile reread(const MemIniFile& ini) {
  MemIniFile again = MemIniFile::Empty(u"C:\\fuzz.ini");
  again.LoadFromBytes(ini.SaveToBytes());
  return again;
}

Str trimmed(const Str& s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= u' ') ++b;
  while (e > b && s[e - 1] <= u' ') --e;
  return s.substr(b, e - b);
}

void fuzzIni(const std::string& bytes, const Str& section, const Str& name, const Str& value) {
  MemIniFile ini = MemIniFile::Empty(u"C:\\fuzz.ini");
  ini.LoadFromBytes(bytes);
  const MemIniFile first = reread(ini);
  check(first.Lines() == ini.Lines(), "written-back INI reads as other lines");
  check(reread(first).SaveToBytes() == first.SaveToBytes(), "second write-back differs");

  if (!ini.CanStore(section, name, value)) return;
  auto before = entriesOf(first);
  ini.WriteString(section, name, value);
  const MemIniFile after = reread(ini);
  auto now = entriesOf(after);
  const auto key = std::make_pair(orvel::UpperCase(section), orvel::UpperCase(name));
  Str expected = trimmed(value);
  if (ini.TextEncoding() == MemIniFile::Encoding::Ansi) {
    const unsigned cp = orvel::sys::ansiCodePage();
    expected = orvel::sys::decode(orvel::sys::encode(expected, cp), cp);
  }
  check(after.ReadString(section, name, u"\x01missing") == expected, "stored entry reads back differently");
  before.erase(key);
  now.erase(key);
  check(before == now, "storing one entry changed another");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A machine of its own, so that the code page comes from a fresh machine.ini.
  const auto root = std::filesystem::temp_directory_path() / ("orvel-fuzz-" + std::to_string(getpid()));
  std::filesystem::create_directories(root);
  setenv("ORVEL_MACHINE", root.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string iniBytes = input.ConsumeRandomLengthString(4096);
  const Str section = orvel::fromUtf8(input.ConsumeRandomLengthString(64));
  const Str name = orvel::fromUtf8(input.ConsumeRandomLengthString(64));
  const Str value = orvel::fromUtf8(input.ConsumeRandomLengthString(256));
  const Str list = orvel::fromUtf8(input.ConsumeRemainingBytesAsString());
  fuzzSettingsList(list);
  fuzzIni(iniBytes, section, name, value);
  return 0;
}
