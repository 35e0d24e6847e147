// The fixed part of a .lnk file as the Shell Link format documents it: the
// header's size, the offsets of the fields cases look at and the LinkFlags
// bits. Written out here, apart from the encoder's own constants, so that an
// offset or bit the encoder gets wrong fails the cases that read its bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvel::test::shllink {

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

}  // namespace orvel::test::shllink
