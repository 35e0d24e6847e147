#include "machine/call_count.h"

namespace orvel::posix::calls {
namespace {

// The counts of the one Counting alive, or null: a test's seam, like the
// fault plan, private to the process.
std::map<std::string, uint64_t>*& active() {
  static std::map<std::string, uint64_t>* counts = nullptr;
  return counts;
}

}  // namespace

void note(const char* service) {
  if (auto* counts = active()) ++(*counts)[service];
}

Counting::Counting() { active() = &counts_; }

Counting::~Counting() { active() = nullptr; }

uint64_t Counting::total() const {
  uint64_t sum = 0;
  for (const auto& [service, n] : counts_) sum += n;
  return sum;
}

std::string Counting::describe() const {
  std::string text;
  for (const auto& [service, n] : counts_) {
    if (!text.empty()) text += ", ";
    text += service + " " + std::to_string(n);
  }
  return text;
}

}  // namespace orvel::posix::calls
