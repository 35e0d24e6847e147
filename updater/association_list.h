// The association list of an association rewrite: pairs of an extension and
// a flag, each token followed by exactly one blank (".od True .odt False ").
#pragma once

#include <optional>

#include "platform/types.h"

namespace orvel {

struct AssociationPair {
  Str extension;  // unchanged, with its leading dot if given
  Str flagText;   // read as a Boolean by the caller
};

// Takes the next pair off the front of `list`: the extension is the text
// before the first blank, the flag the text before the next blank. When no
// blank follows the extension the flag is empty and the rest stays in
// `list`. Nothing when `list` holds no blank: text after the last blank is
// ignored.
std::optional<AssociationPair> TakeAssociationPair(Str& list);

}  // namespace orvel
