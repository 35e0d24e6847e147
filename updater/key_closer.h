// Closes a registry access object's key however the operation ends, so that
// no operation of the updater leaves a key open for the next one.
#pragma once

#include "common/registry_access.h"

namespace orvel {

class KeyCloser {
 public:
  explicit KeyCloser(RegistryAccess& registry) : registry_(registry) {}
  ~KeyCloser() { registry_.CloseKey(); }
  KeyCloser(const KeyCloser&) = delete;
  KeyCloser& operator=(const KeyCloser&) = delete;

 private:
  RegistryAccess& registry_;
};

}  // namespace orvel
