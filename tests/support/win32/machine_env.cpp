#include "tests/support/machine_env.h"

namespace orvel::test {

// Under Wine the machine is the test prefix, made once before the tests.
std::string createMachine(const std::map<std::string, std::string>&) { return {}; }
void destroyMachine(const std::string&) {}
bool machineIsEmulated() { return false; }

}  // namespace orvel::test
