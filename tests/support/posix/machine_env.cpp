#include "tests/support/machine_env.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace orvel::test {

std::string createMachine(const std::map<std::string, std::string>& machineIni) {
  std::string templ = (std::filesystem::temp_directory_path() / "orvel-machine-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("cannot create a machine root");
  // Sleeps are instant unless a case asks otherwise.
  std::map<std::string, std::map<std::string, std::string>> sections;
  sections["Machine"]["SleepScale"] = "0";
  for (const auto& [name, value] : machineIni) {
    auto dot = name.find('.');
    if (dot == std::string::npos) throw std::invalid_argument("machine.ini key needs Section.Key: " + name);
    sections[name.substr(0, dot)][name.substr(dot + 1)] = value;
  }
  std::ofstream ini(templ + "/machine.ini", std::ios::binary);
  for (const auto& [section, keys] : sections) {
    ini << "[" << section << "]\n";
    for (const auto& [key, value] : keys) ini << key << "=" << value << "\n";
  }
  return templ;
}

void destroyMachine(const std::string& root) {
  if (root.empty()) return;
  // Read-only files carry no write bits; make everything removable first.
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(root, ec);
}

bool machineIsEmulated() { return true; }

}  // namespace orvel::test
