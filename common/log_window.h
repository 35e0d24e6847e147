// The log window: collects the lines that the installation and the
// uninstallation report (the installation log) and, through its button,
// finishes the run by starting the installed application or the batch file
// that removes the setup program, then ends the program.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "gui/gui.h"
#include "platform/types.h"

namespace orvel {

class TFMemo : public gui::Form {
 public:
  explicit TFMemo(gui::Application& app);

  // The installation log, one log line per text line.
  gui::Component* MInstallation;
  gui::Component* BClose;
  // What BCloseClick starts: 0 the installed application, 1 RunOrvel.bat,
  // anything else nothing.
  int Installation = 0;
  // The folder the installed application is started from (with a trailing
  // "\"), asked when the button starts it; whoever owns the installation
  // gives it.
  std::function<Str()> ApplicationFolder;
  // The bytes the uninstallation wrote into RunOrvel.bat; nothing until it
  // has. The batch file lies where every process of the user may write, so
  // it is started only while it still holds exactly these.
  std::optional<std::string> RemovalBatch;

  void FormCreate(gui::Object* Sender);
  void BCloseClick(gui::Object* Sender);

  // Appends `s` as one line at the end of the log; a line made for it is
  // moved in.
  void GibAus(Str s);
  // Writes every line of the log to `path` as 8-bit text in the ANSI code
  // page, each line ended by CR LF, replacing the file. Raises Error
  // "Datei "<path>" kann nicht erstellt werden. <reason>" when it cannot.
  void SaveLog(const Str& path) const;
};

// The one log window of the program.
extern TFMemo* FMemo;

}  // namespace orvel
