// Small path rules that the installer's steps share.
#pragma once

#include "common/fmx_utils.h"
#include "platform/files.h"
#include "platform/types.h"

namespace orvel {

// What a folder listing offers for copying or removing: no folders, no
// hidden or system files.
inline bool IsPlainFile(const files::FindEntry& entry) {
  return (entry.attributes & (files::kDirectory | files::kHidden | files::kSystem)) == 0;
}

// "X:\..." or "\\server\...": a path that names its volume.
inline bool IsAbsolutePath(const Str& path) {
  return path.starts_with(u"\\\\") || (path.size() > 2 && path[1] == u':' && path[2] == u'\\');
}

}  // namespace orvel
