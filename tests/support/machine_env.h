// The backend-specific half of TestMachine: making and removing the machine.
#pragma once

#include <map>
#include <string>

namespace orvel::test {

// Creates a fresh machine for one case and returns its root (empty under Wine).
std::string createMachine(const std::map<std::string, std::string>& machineIni);
// Removes what createMachine made.
void destroyMachine(const std::string& root);
bool machineIsEmulated();

}  // namespace orvel::test
