// Hashes for the machine's maps and sets of texts, so that a look-up takes
// a view and copies nothing (with std::equal_to<> as their equality).
#pragma once

#include <functional>
#include <string_view>

#include "platform/types.h"

namespace orvel::posix {

template <typename View>
struct ViewHash {
  using is_transparent = void;
  size_t operator()(View text) const { return std::hash<View>{}(text); }
};
using TextHash = ViewHash<std::string_view>;  // host paths and names
using NameHash = ViewHash<StrView>;           // Windows names

}  // namespace orvel::posix
