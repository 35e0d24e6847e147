#include "common/format.h"

#include "common/error.h"

namespace orvel {

Str Format(const Str& pattern, std::initializer_list<Str> args) {
  Str out;
  out.reserve(pattern.size());
  auto next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    const char16_t following = i + 1 < pattern.size() ? pattern[i + 1] : u'\0';
    if (c == u'%' && following == u's') {
      if (next == args.end()) {
        // The message itself names the pattern; build it by hand to avoid recursion.
        throw Error(u"Kein Argument für Format '" + pattern + u"'");
      }
      out += *next++;
      ++i;
    } else if (c == u'%' && following == u'%') {
      out += u'%';
      ++i;
    } else {
      // Any other "%" is plain text, so message texts with a bare percent sign survive.
      out += c;
    }
  }
  return out;
}

}  // namespace orvel
