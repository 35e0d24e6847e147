#include "updater/association_list.h"

namespace orvel {

std::optional<AssociationPair> TakeAssociationPair(Str& list) {
  const size_t blank = list.find(u' ');
  if (blank == Str::npos) return std::nullopt;
  AssociationPair pair;
  pair.extension = list.substr(0, blank);
  list.erase(0, blank + 1);
  const size_t next = list.find(u' ');
  if (next == Str::npos) return pair;  // the last pair lacks its final blank
  pair.flagText = list.substr(0, next);
  list.erase(0, next + 1);
  return pair;
}

}  // namespace orvel
