// TShellLink: the properties of one shell shortcut (.lnk) and the two
// operations that write them into the file LinkFile or fill them from it,
// through the system's shell link object.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace orvel {

// How the target's window opens.
enum TWindowState : uint8_t { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

class TShellLink {
 public:
  // The properties; reading or setting one has no side effect.
  Str Arguments;    // command-line arguments for the target
  Str Description;  // the shortcut's comment
  Str IconFile;     // file with the icon; empty: the target's own icon
  uint32_t IconIndex = 0;
  uint16_t HotKey = 0;  // virtual-key code in the low byte, HOTKEYF_* in the high byte; 0: none
  Str LinkFile;         // the shortcut file, with its .lnk extension
  Str ProgramFile;      // the target
  TWindowState WindowState = wsNormal;
  Str WorkingDirectory;

  // Writes LinkFile from the properties. An empty WorkingDirectory is first
  // set to the folder of ProgramFile, and keeps that value afterwards. A
  // failing save reports nothing and leaves no file. Raises Error, with the
  // system's text, when the shell link object is not available.
  void Write();

  // Replaces every property but LinkFile from the shortcut LinkFile, each
  // text whole. A missing or unreadable file gives empty
  // texts, 0 for icon index and hot key, and wsNormal. A show command other
  // than normal, minimised or maximised leaves WindowState. Raises as Write.
  void Read();
};

}  // namespace orvel
