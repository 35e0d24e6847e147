// What the benchmark programs share: a fresh emulated machine for the run
// (natively; on Windows the machine is the one the program runs on), and
// timing helpers.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/files.h"

namespace orvel::bench {

// Natively: a new machine root in the temporary folder, with instant sleeps,
// set as $ORVEL_MACHINE for the run and removed at the end; `settings` are
// more lines of machine.ini's [Machine].
class BenchMachine {
 public:
  explicit BenchMachine(const std::string& settings = std::string()) {
#ifndef _WIN32
    std::string root = (std::filesystem::temp_directory_path() / "orvel-bench-XXXXXX").string();
    if (!mkdtemp(root.data())) std::exit(1);
    root_ = root;
    std::ofstream(root_ / "machine.ini") << "[Machine]\nSleepScale=0\n" << settings;
    setenv("ORVEL_MACHINE", root.c_str(), 1);
#else
    (void)settings;
#endif
  }
  ~BenchMachine() {
    std::error_code ec;
    if (!root_.empty()) std::filesystem::remove_all(root_, ec);
  }
  BenchMachine(const BenchMachine&) = delete;
  BenchMachine& operator=(const BenchMachine&) = delete;
  // The machine's folder on the host (natively).
  const std::filesystem::path& root() const { return root_; }

 private:
  std::filesystem::path root_;
};

inline double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Removes a folder with everything in it, read-only files included.
inline void RemoveTree(const Str& folder) {
  for (const files::FindEntry& entry : files::findFiles(folder + u"*.*")) {
    const Str path = folder + entry.name;
    if (entry.attributes & files::kDirectory) {
      RemoveTree(path + u"\\");
    } else {
      (void)files::setAttributes(path, 0);
      (void)files::deleteFile(path);
    }
  }
  (void)files::removeDirectory(folder);
}

}  // namespace orvel::bench
