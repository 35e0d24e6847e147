#include "platform/posix/fault_injection.h"

#include <cstdlib>
#include <mutex>

namespace orvel::posix::faults {
namespace {

// The one plan of the process: the seam stands for the machine's state,
// which is process-wide as well.
struct State {
  std::mutex mutex;
  bool armed = false;
  bool fromEnvironmentRead = false;
  Plan plan;
  uint64_t count = 0;
  std::string failed;
};

State& state() {
  static State s;
  return s;
}

// "<services>:<n>:<error>"; anything else arms nothing.
void readEnvironment(State& s) {
  s.fromEnvironmentRead = true;
  const char* text = std::getenv("ORVEL_FAULT");
  if (!text || !*text) return;
  const std::string value = text;
  const size_t first = value.find(':');
  const size_t second = first == std::string::npos ? first : value.find(':', first + 1);
  if (second == std::string::npos) return;
  s.plan.services = value.substr(0, first);
  s.plan.nth = std::strtoull(value.c_str() + first + 1, nullptr, 10);
  s.plan.error = static_cast<uint32_t>(std::strtoul(value.c_str() + second + 1, nullptr, 10));
  s.armed = true;
}

}  // namespace

void arm(const Plan& plan) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.fromEnvironmentRead = true;
  s.armed = true;
  s.plan = plan;
  s.count = 0;
  s.failed.clear();
}

void disarm() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.armed = false;
  s.count = 0;
  s.failed.clear();
}

uint64_t counted() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.count;
}

std::string failedCall() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.failed;
}

uint32_t check(const char* service) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (!s.fromEnvironmentRead) readEnvironment(s);
  if (!s.armed || std::string(service).rfind(s.plan.services, 0) != 0) return 0;
  if (++s.count != s.plan.nth) return 0;
  s.failed = service;
  return s.plan.error;
}

}  // namespace orvel::posix::faults
