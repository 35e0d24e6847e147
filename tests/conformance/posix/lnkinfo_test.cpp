// Shortcuts of the emulated machine are real .lnk files: Debian's lnkinfo
// (liblnk-utils) reads target, working folder, arguments, description and
// icon from them. This lnkinfo shows show command and hot key wrongly, so
// those are checked in the file's bytes.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include <unistd.h>

#include "common/shell_link.h"
#include "machine/machine.h"
#include "tests/support/shllink_layout.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

constexpr char kLnkinfo[] = "/usr/bin/lnkinfo";

std::string shellQuoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// lnkinfo's "Name : value" lines of the link information, by name.
struct LnkinfoOutput {
  int status = -1;
  std::map<std::string, std::string> fields;
};

LnkinfoOutput runLnkinfo(const std::string& hostPath) {
  LnkinfoOutput result;
  const std::string command = std::string(kLnkinfo) + " " + shellQuoted(hostPath) + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::string text;
  std::array<char, 4096> buffer;
  while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) text.append(buffer.data(), n);
  result.status = pclose(pipe);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    size_t colon = line.find(": ");
    if (colon == std::string::npos || line.empty() || line[0] != '\t' || line[1] == '\t') continue;
    std::string name = line.substr(1, colon - 1);
    name.erase(name.find_last_not_of(" \t") + 1);
    result.fields.emplace(name, line.substr(colon + 2));  // the first one: the link information
  }
  return result;
}

class LnkinfoReadsShortcuts : public testing::Test {
 protected:
  void SetUp() override {
    if (access(kLnkinfo, X_OK) != 0) GTEST_SKIP() << "lnkinfo (liblnk-utils) is not installed";
  }

  std::string hostPath(const Str& windowsPath) const {
    return posix::Machine::current().hostPath(windowsPath).value_or("");
  }

  test::TestMachine machine_;
};

TEST_F(LnkinfoReadsShortcuts, LocalTarget) {
  const Str folder = machine_.scratch() + u"Orvel Draw\\";
  test::writeTestFile(folder + u"OrvelDraw.exe", "MZ stand-in");
  TShellLink link;
  link.Arguments = u"-open \"a b.odr\"";
  link.Description = u"Orvel-Draw zeichnen";
  link.IconFile = folder + u"OrvelDraw.exe";
  link.IconIndex = 2;
  link.HotKey = 0x064F;
  link.LinkFile = machine_.scratch() + u"OrvelDraw.lnk";
  link.ProgramFile = folder + u"OrvelDraw.exe";
  link.WindowState = wsMinimized;
  link.Write();

  const LnkinfoOutput info = runLnkinfo(hostPath(link.LinkFile));
  ASSERT_EQ(info.status, 0);
  const std::map<std::string, std::string> expected = {
      {"Local path", toUtf8(link.ProgramFile)},
      {"Working directory", toUtf8(folder)},
      {"Command line arguments", toUtf8(link.Arguments)},
      {"Description", toUtf8(link.Description)},
      {"Icon location", toUtf8(link.IconFile)},
      {"Icon index", "2"},
      {"File size", "11 bytes"},
      {"Drive type", "Fixed (3)"}};
  for (const auto& [name, value] : expected) {
    auto found = info.fields.find(name);
    ASSERT_NE(found, info.fields.end()) << name;
    EXPECT_EQ(found->second, value) << name;
  }

  const std::string bytes = test::readTestFile(link.LinkFile);
  ASSERT_GE(bytes.size(), test::shllink::kHeaderSize);
  EXPECT_EQ(static_cast<uint8_t>(bytes[test::shllink::kShowCommandOffset]), 6);  // SW_MINIMIZE
  EXPECT_EQ(static_cast<uint8_t>(bytes[test::shllink::kHotKeyOffset]), 0x4F);
  EXPECT_EQ(static_cast<uint8_t>(bytes[test::shllink::kHotKeyOffset + 1]), 0x06);
}

TEST_F(LnkinfoReadsShortcuts, NetworkTarget) {
  TShellLink link;
  link.LinkFile = machine_.scratch() + u"OrvelDraw.lnk";
  link.ProgramFile = u"\\\\orvelserver\\apps\\Orvel Draw\\OrvelDraw.exe";
  link.Write();

  const LnkinfoOutput info = runLnkinfo(hostPath(link.LinkFile));
  ASSERT_EQ(info.status, 0);
  EXPECT_EQ(info.fields.count("Local path"), 0u);
  ASSERT_EQ(info.fields.count("Network path"), 1u);
  EXPECT_EQ(info.fields.at("Network path"), toUtf8(link.ProgramFile));
  ASSERT_EQ(info.fields.count("Working directory"), 1u);
  EXPECT_EQ(info.fields.at("Working directory"), "\\\\orvelserver\\apps\\Orvel Draw\\");
}

}  // namespace
}  // namespace orvel
