#include "tests/support/machine_state.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/system.h"
#include "tests/support/test_machine.h"

namespace orvel::test {

void writeFiles(const Str& folder, const FileSet& set) {
  for (const auto& [name, bytes] : set) writeTestFile(folder + name, bytes);
}

bool exists(const Str& path) { return files::fileExists(path); }
bool folderExists(const Str& path) { return files::directoryExists(path); }

std::vector<Str> listed(const Str& pattern) {
  std::vector<Str> names;
  for (const files::FindEntry& entry : files::findFiles(pattern))
    if (!(entry.attributes & (files::kDirectory | files::kHidden | files::kSystem))) names.push_back(entry.name);
  return names;
}

std::optional<reg::Value> registryValue(reg::Root root, const Str& key, const Str& name) {
  reg::Key k;
  if (!reg::Key::open(root, key, reg::kKeyRead, reg::Open::Existing, k)) return std::nullopt;
  reg::Value value;
  if (!k.queryValue(name, value)) return std::nullopt;
  return value;
}

std::optional<Str> registryString(reg::Root root, const Str& key, const Str& name) {
  auto value = registryValue(root, key, name);
  if (!value || (value->type != reg::kSz && value->type != reg::kExpandSz)) return std::nullopt;
  return reg::stringOf(*value);
}

bool keyExists(reg::Root root, const Str& key) {
  reg::Key k;
  return reg::Key::open(root, key, reg::kKeyRead, reg::Open::Existing, k).ok();
}

void seedValue(reg::Root root, const Str& key, const Str& name, const reg::Value& value) {
  reg::Key k;
  ASSERT_TRUE(reg::Key::open(root, key, reg::kKeyAllAccess, reg::Open::OrCreate, k).ok()) << toUtf8(key);
  ASSERT_TRUE(k.setValue(name, value).ok()) << toUtf8(key + u"\\" + name);
}

std::string ansiLines(const std::vector<Str>& lines) {
  std::string bytes;
  for (const Str& line : lines) bytes += sys::encode(line, sys::ansiCodePage()) + "\r\n";
  return bytes;
}

Str distributionFolder() {
  Str path = u"Z:" + fromUtf8(ORVEL_DIST_DIR);
  for (char16_t& c : path)
    if (c == u'/') c = u'\\';
  return path + u"\\";
}

std::string standInApplication() { return readTestFile(distributionFolder() + u"OrvelDraw.exe"); }

}  // namespace orvel::test
