// A fresh Windows machine for one test case.
//
// Natively it is a new emulated machine: a temporary machine root with the
// given machine.ini, set as $ORVEL_MACHINE for the lifetime of the object and
// removed afterwards. Under Wine the machine is the test prefix; the object
// then gives a fresh scratch folder and removes the registry keys the program
// owns, so that cases do not depend on each other's order.
//
// Tests write their paths as Windows paths (C:\..., \\server\share\...), so
// that the same test runs against both backends.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/types.h"

namespace orvel::test {

class TestMachine {
 public:
  // machineIni: "Section.Key" -> value for the emulated machine.ini, for
  // example {"Machine.Administrator", "0"} or {"Folders.CommonDesktop", ""}.
  // Ignored under Wine.
  explicit TestMachine(const std::map<std::string, std::string>& machineIni = {});
  ~TestMachine();
  TestMachine(const TestMachine&) = delete;
  TestMachine& operator=(const TestMachine&) = delete;

  // True natively (the emulated machine), false under Wine. Tests that need
  // what only the emulated machine can do skip themselves when false.
  static bool emulated();

  // A fresh, empty folder for this case, a Windows path ending with "\".
  const Str& scratch() const { return scratch_; }

  // The emulated machine's root folder (empty under Wine).
  const std::string& root() const { return root_; }

  // Lines of shell.log (emulated machine only; empty under Wine).
  std::vector<std::string> shellLog() const;

 private:
  std::string root_;
  std::string previousMachine_;
  bool hadPreviousMachine_ = false;
  Str scratch_;
};

// Writes `bytes` to a Windows path, creating missing folders (a test helper,
// not the program's file service).
void writeTestFile(const Str& path, const std::string& bytes);
// Reads a whole file by Windows path; throws when it cannot be read.
std::string readTestFile(const Str& path);

}  // namespace orvel::test
