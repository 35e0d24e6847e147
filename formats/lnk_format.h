// Shell link files (.lnk) in the published binary layout that Windows' shell
// writes (MS-SHLLINK): encoding and decoding, with no file access of its own.
//
// A written link holds the header, the target as an item id list (the local
// form: My Computer, the drive, one file-system item a path element; or the
// network form: Network, server, share, then the file-system items), the
// LinkInfo (volume and local base path, or the network share and the path
// below it) and the Unicode strings. Decoding accepts what Windows, Wine and
// this encoder write and rejects anything damaged without reading beyond the
// bytes it is given.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace orvel::lnk {

// What a shell link object holds of a shortcut.
struct Shortcut {
  Str target;  // "C:\dir\file", "\\server\share\dir\file"; empty: none
  Str description;
  Str workingDirectory;
  Str arguments;
  Str iconLocation;  // empty: none
  int32_t iconIndex = 0;
  uint16_t hotKey = 0;       // virtual-key code in the low byte, HOTKEYF_* in the high byte
  uint32_t showCommand = 1;  // SW_SHOWNORMAL
  bool operator==(const Shortcut&) const = default;
};

// What the writer knows of an existing file or folder on the target's path.
struct FileFacts {
  uint32_t attributes = 0;  // FILE_ATTRIBUTE_*; 0x10 marks a folder
  uint64_t writeTime = 0;   // FILETIME (100 ns since 1601, UTC)
  uint64_t size = 0;
};
// Asked for the target and each folder above it ("C:\Apps", "C:\Apps\x.exe");
// nothing for a path that does not exist.
using FactsOf = std::function<std::optional<FileFacts>(const Str& path)>;

// The bytes of a shortcut file. Without facts, every element of the target's
// path but the last counts as a folder and the target as a file. A target
// that is neither a drive path nor a UNC path is not written (the link then
// has none), as a shell link object cannot resolve it either. Texts longer
// than a string field can hold (65535 units) are cut.
std::string encode(const Shortcut& link, const FactsOf& factsOf = nullptr);

// The shortcut held by the bytes of a .lnk file, or nothing when they are no
// shell link or are damaged. The target comes from the LinkInfo (the network
// path first, as GetPath with SLGP_UNCPRIORITY answers), else from the item
// id list; 8-bit texts are read as Windows-1252.
std::optional<Shortcut> decode(std::string_view bytes);

// Offsets and values of the header that tests and tools look at.
constexpr size_t kHeaderSize = 0x4C;
constexpr size_t kLinkFlagsOffset = 0x14;
constexpr size_t kShowCommandOffset = 0x3C;
constexpr size_t kHotKeyOffset = 0x40;
constexpr uint32_t kHasLinkTargetIdList = 0x1;
constexpr uint32_t kHasLinkInfo = 0x2;
constexpr uint32_t kHasName = 0x4;
constexpr uint32_t kHasRelativePath = 0x8;
constexpr uint32_t kHasWorkingDir = 0x10;
constexpr uint32_t kHasArguments = 0x20;
constexpr uint32_t kHasIconLocation = 0x40;
constexpr uint32_t kIsUnicode = 0x80;

}  // namespace orvel::lnk
