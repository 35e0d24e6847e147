// printf-style formatting of "%s" placeholders, as the framework's Format does
// for the program's message texts.
#pragma once

#include <initializer_list>

#include "platform/types.h"

namespace orvel {

// Fills each "%s" of `pattern` with the next argument, in order; "%%" is a
// percent sign. More placeholders than arguments raise Error with
// "Kein Argument für Format '<pattern>'"; surplus arguments are ignored.
// The arguments are read where they lie: a message with two paths costs
// the one string it makes.
Str Format(const Str& pattern, std::initializer_list<StrView> args);

}  // namespace orvel
