// The system service where only the emulated machine can be asked: its
// English error texts and its scaled sleeps.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/system.h"
#include "tests/support/test_machine.h"

namespace orvel {
namespace {

using test::TestMachine;
using MachineIni = std::map<std::string, std::string>;
using namespace std::chrono_literals;

TEST(SystemOnTheHost, ErrorTextsOfWindows) {
  struct Row {
    uint32_t code;
    Str text;
  };
  const std::vector<Row> rows = {
      {err::kFileNotFound, u"The system cannot find the file specified."},                                       // 1
      {err::kPathNotFound, u"The system cannot find the path specified."},                                       // 2
      {err::kAccessDenied, u"Access is denied."},                                                               // 3
      {err::kSharingViolation, u"The process cannot access the file because it is being used by another process."},  // 4
      {err::kAlreadyExists, u"Cannot create a file when that file already exists."},                            // 5
      {err::kDirNotEmpty, u"The directory is not empty."},                                                      // 6
      {987654, u""},  // 7 a code without a text
  };
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(toUtf8(sys::errorMessage(rows[i].code)), toUtf8(rows[i].text)) << "row " << i + 1;
}

TEST(SystemOnTheHost, EmulatedOnly_SleepIsScaled) {
  {
    // The test machines sleep no time at all.
    TestMachine machine;
    auto start = std::chrono::steady_clock::now();
    sys::sleepMs(60'000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  }
  {
    TestMachine machine(MachineIni{{"Machine.SleepScale", "0.05"}});
    auto start = std::chrono::steady_clock::now();
    sys::sleepMs(2'000);
    auto slept = std::chrono::steady_clock::now() - start;
    EXPECT_GE(slept, 100ms);
    EXPECT_LT(slept, 1s);
  }
}

}  // namespace
}  // namespace orvel
