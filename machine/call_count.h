// Counts the calls a process makes of the file service, by name, so that a
// test can hold the number of calls a job makes for each file it copies.
// Nothing is counted unless a test asks for it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace orvel::posix::calls {

// At a service's entry ("files.copyFile").
void note(const char* service);

// Counts the calls made while it lives; one at a time.
class Counting {
 public:
  Counting();
  ~Counting();
  Counting(const Counting&) = delete;
  Counting& operator=(const Counting&) = delete;

  uint64_t total() const;
  // "files.copyFile 2000, files.findFiles 3": for a test's message.
  std::string describe() const;
  const std::map<std::string, uint64_t>& byService() const { return counts_; }

 private:
  std::map<std::string, uint64_t> counts_;
};

}  // namespace orvel::posix::calls
