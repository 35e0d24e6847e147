// What the updater's scenario tests share: a fresh machine, the program's
// windows with the updater, an installation folder and an update's source
// folder in the case's scratch folder, and runs of MakeUpdate with the
// command line the application gives.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "platform/files.h"
#include "platform/system.h"
#include "tests/support/machine_state.h"
#include "tests/support/scripted_windows.h"
#include "tests/support/test_machine.h"

namespace orvel::test {

// A FILETIME some days before or after now, to age a file.
inline uint64_t daysFromNow(const Str& anyFile, int days) {
  const uint64_t now = files::lastWriteTime(anyFile).value_or(0);
  return now + static_cast<int64_t>(days) * 24 * 3600 * 10'000'000LL;
}

class UpdateTest : public testing::Test {
 protected:
  void SetUp() override { FUpdater->Source = Src(); FUpdater->Dest = Inst(); }

  // The installation (Dest) and the update's files (Source), each ending in
  // "\"; the source's path has a blank.
  Str Inst() const { return machine_.scratch() + u"Orvel\\"; }
  Str Src() const { return machine_.scratch() + u"Neue Version\\"; }

  // "-Update" Dest Source fourth, then `more` (for example "-INI" and a path).
  static std::vector<Str> UpdateArgs(const Str& dest, const Str& source, const Str& fourth,
                                     std::vector<Str> more = {}) {
    std::vector<Str> args = {u"C:\\Orvel\\Setup.exe", u"-Update", dest, source, fourth};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }

  // Runs MakeUpdate with this command line; the text of an error that escaped it.
  std::optional<Str> Run(std::vector<Str> args) {
    FUpdater->SetCommandLine(std::move(args));
    try {
      FUpdater->MakeUpdate();
    } catch (const Error& e) {
      return e.message();
    }
    return std::nullopt;
  }

  const std::vector<Str>& Log() const { return FUpdater->Memo->lines(); }
  UpdaterWindows& w() { return windows_; }

  TestMachine machine_;
  UpdaterWindows windows_;
};

}  // namespace orvel::test
