#include "tests/support/test_machine.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "tests/support/machine_env.h"

namespace orvel::test {
namespace {

constexpr const char* kMachineVariable = "ORVEL_MACHINE";

void setMachineVariable(const std::string& value) {
#ifdef _WIN32
  _putenv_s(kMachineVariable, value.c_str());
#else
  setenv(kMachineVariable, value.c_str(), 1);
#endif
}

void unsetMachineVariable() {
#ifdef _WIN32
  _putenv_s(kMachineVariable, "");
#else
  unsetenv(kMachineVariable);
#endif
}

// Removes a key with everything below it; missing keys are fine.
void deleteTree(reg::Root root, const Str& path) {
  reg::Key key;
  if (!reg::Key::open(root, path, reg::kKeyAllAccess, reg::Open::Existing, key)) return;
  std::vector<Str> children;
  (void)key.subKeyNames(children);
  key.close();
  for (const Str& child : children) deleteTree(root, path + u"\\" + child);
  (void)reg::deleteKey(root, path);
}

// The keys the program writes, so that a case under Wine starts clean.
void removeProgramKeys() {
  for (reg::Root root : {reg::Root::CurrentUser, reg::Root::LocalMachine}) {
    deleteTree(root, u"Software\\OrvelDraw");
    deleteTree(root, u"Software\\Classes\\OrvelDraw");
  }
  deleteTree(reg::Root::LocalMachine, u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvelDraw");
}

Str uniqueScratchName() {
  std::random_device random;
  std::ostringstream name;
  name << "orvel-test-" << std::hex << random() << random();
  return fromUtf8(name.str());
}

}  // namespace

TestMachine::TestMachine(const std::map<std::string, std::string>& machineIni) {
  if (const char* previous = std::getenv(kMachineVariable)) {
    previousMachine_ = previous;
    hadPreviousMachine_ = true;
  }
  root_ = createMachine(machineIni);
  if (!root_.empty()) setMachineVariable(root_);
  if (!emulated()) removeProgramKeys();
  auto temp = sys::tempPath(255);
  if (!temp) throw std::runtime_error("the machine has no temporary folder");
  scratch_ = *temp + uniqueScratchName() + u"\\";
  if (!files::forceDirectories(scratch_)) throw std::runtime_error("cannot create the scratch folder");
}

TestMachine::~TestMachine() {
  if (!emulated()) removeProgramKeys();
  destroyMachine(root_);
  if (hadPreviousMachine_)
    setMachineVariable(previousMachine_);
  else if (!root_.empty())
    unsetMachineVariable();
}

bool TestMachine::emulated() { return machineIsEmulated(); }

std::vector<std::string> TestMachine::shellLog() const {
  std::vector<std::string> lines;
  if (root_.empty()) return lines;
  std::ifstream in(root_ + "/shell.log", std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void writeTestFile(const Str& path, const std::string& bytes) {
  auto slash = path.find_last_of(u'\\');
  if (slash != Str::npos) (void)files::forceDirectories(path.substr(0, slash));
  if (!files::writeFile(path, bytes)) throw std::runtime_error("cannot write test file " + toUtf8(path));
}

std::string readTestFile(const Str& path) {
  auto bytes = files::readFile(path);
  if (!bytes) throw std::runtime_error("cannot read " + toUtf8(path));
  return *bytes;
}

}  // namespace orvel::test
