#include "platform/errorbox.h"

namespace orvel {

// The emulated machine has no desktop: the text on standard error is the report.
void showErrorBox(const Str&, const Str&) {}

}  // namespace orvel
