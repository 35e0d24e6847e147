// Reporting an error that ends the program before any window exists.
#pragma once

#include "platform/types.h"

namespace orvel {

// On Windows a modal message box with the error symbol and an OK button. The
// caller has already written the text to standard error, which is all the
// emulated machine does.
void showErrorBox(const Str& title, const Str& text);

}  // namespace orvel
