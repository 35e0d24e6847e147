#include "common/format.h"

#include "common/error.h"

namespace orvel {

Str Format(const Str& pattern, std::initializer_list<StrView> args) {
  size_t size = pattern.size();
  for (const StrView arg : args) size += arg.size();
  Str out;
  out.reserve(size);
  auto next = args.begin();
  size_t copied = 0;  // the pattern's text before this is in `out`
  for (size_t i = pattern.find(u'%'); i != Str::npos; i = pattern.find(u'%', i)) {
    const char16_t following = i + 1 < pattern.size() ? pattern[i + 1] : u'\0';
    if (following != u's' && following != u'%') {
      // Any other "%" is plain text, so message texts with a bare percent sign survive.
      ++i;
      continue;
    }
    out.append(pattern, copied, i - copied);
    if (following == u's') {
      if (next == args.end()) {
        // The message itself names the pattern; build it by hand to avoid recursion.
        throw Error(u"Kein Argument für Format '" + pattern + u"'");
      }
      out += *next++;
    } else {
      out += u'%';
    }
    i += 2;
    copied = i;
  }
  out.append(pattern, copied, Str::npos);
  return out;
}

}  // namespace orvel
