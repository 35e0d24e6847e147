// The Windows shell: starting files, special folders, the recycle bin and
// change notifications.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace orvel::shell {

// CSIDL values the program asks for.
constexpr int kCsidlStartMenu = 0x0B;
constexpr int kCsidlDesktopDirectory = 0x10;
constexpr int kCsidlCommonStartMenu = 0x16;
constexpr int kCsidlCommonDesktopDirectory = 0x19;
constexpr int kCsidlAppData = 0x1A;
constexpr int kCsidlProgramFiles = 0x26;

// Show commands.
constexpr int kSwHide = 0;
constexpr int kSwShowNormal = 1;

// ShellExecuteW with no verb. `owner` is the native handle of the owner
// window or null. Returns the shell's code: greater than 32 when started.
// Empty texts are passed as empty strings.
intptr_t execute(void* owner, const Str& file, const Str& parameters, const Str& directory,
                 int showCommand);

// SHGetFolderPathW(SHGFP_TYPE_CURRENT): the path without a trailing "\", or
// the empty text when the folder is not available.
Str specialFolder(int csidl);

// SHFileOperationW FO_DELETE of one path with the given FOF_* flags (the
// program uses 0x54: allow undo, no confirmation, silent). Returns the
// operation's result, 0 on success.
int deleteToRecycleBin(const Str& path, uint16_t flags);

// SHChangeNotify with two null items.
constexpr uint32_t kShcneAssocChanged = 0x08000000;
constexpr uint32_t kShcnfIdList = 0;
void changeNotify(uint32_t eventId, uint32_t flags);

}  // namespace orvel::shell
