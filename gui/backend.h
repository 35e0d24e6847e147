// The interface between the GUI model (gui/gui.h) and what realises it:
// the native Win32 windows (gui/win32/native*.cpp) or the scripted
// GUI (gui/script/scripted_gui.h). The core never sees this header.
//
// Model -> backend: every change of a form or component property is told to
// the form's peer; shows, hides, closes and repaints too. Backend -> model:
// when the user acts, the backend calls Component::userClick / userSetText /
// userSelect or Form::userClose, which update the model and run the handlers
// inside Application::dispatch. A change a backend makes through those calls
// comes back to its peer as a change notification; the peer compares with its
// control's state before it touches the control, so nothing loops.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "gui/gui.h"

namespace orvel::gui {

// The backend's counterpart of one form: a native window with its controls,
// or the scripted GUI's record of it.
class FormPeer {
 public:
  virtual ~FormPeer() = default;
  // A component was added after the form was created (created at run time).
  virtual void componentAdded(Component& component) = 0;
  // A property of a component changed.
  virtual void componentChanged(Component& component, Property property) = 0;
  // A property of the form changed (Caption, ClientSize, Position, Border, Font, Colour).
  virtual void formChanged(Property property) = 0;
  // The form was shown or hidden.
  virtual void shown() = 0;
  virtual void hidden() = 0;
  // Form::close() ran (whatever the close handler decided).
  virtual void closed() = 0;
  // Form::repaint(): draw now. The peer calls Form::paint() when the form
  // draws itself (the native window on WM_PAINT; the scripted GUI at once).
  virtual void repaint() = 0;
  // The native window handle (HWND), or null.
  virtual void* nativeHandle() const { return nullptr; }
  // The native window of one of the form's components (HWND), or null.
  virtual void* controlHandle(const Component& component) const { return nullptr; }
};

// A message box's content as the backend gets it.
struct MessageBoxRequest {
  MessageKind kind;
  Str title;
  Str text;
  std::vector<Button> buttons;  // in the order shown; the first is the default
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Called once by the Application's constructor.
  virtual void attach(Application& app) = 0;

  // Creates the counterpart of a form whose components now exist (called by
  // Form::created() before the creation handler runs). The form is hidden.
  virtual std::unique_ptr<FormPeer> createPeer(Form& form) = 0;

  // The message loop: runs until app.terminated().
  virtual void runLoop() = 0;
  // Handles the pending messages once.
  virtual void processMessages() = 0;
  // Application::terminate() ran (the main form closed): a loop that waits
  // for messages should wake up and return.
  virtual void terminateRequested() {}
  // The application-wide cursor changed.
  virtual void cursorChanged(Cursor cursor) = 0;

  // Modal dialogs. Each returns the user's answer.
  virtual Button messageBox(const MessageBoxRequest& request) = 0;
  // IFileOpenDialog with FOS_PICKFOLDERS, opened in `start` when it parses.
  virtual std::optional<Str> folderDialog(const Str& start) = 0;
  // The file-open dialog with an initial folder, a proposed name and a filter
  // ("description|patterns|..."); the full path of the chosen file.
  virtual std::optional<Str> fileDialog(const Str& initialDir, const Str& fileName,
                                        const Str& filter) = 0;
};

// Per-process state that the platform's GUI needs, kept by the Application
// for its lifetime (on Windows: COM on the GUI thread; on posix: nothing).
class PlatformSession {
 public:
  virtual ~PlatformSession() = default;
};
// Defined by gui/win32/ and gui/machine/.
std::unique_ptr<PlatformSession> startPlatformSession();

// The value of an environment variable, or nothing when it is unset; whether
// standard input is a terminal (a person types the actions). Defined by
// gui/win32/ and gui/machine/.
std::optional<Str> environmentVariable(const char* name);
bool standardInputIsTerminal();

// The native windows of this platform, or null where there are none (the
// emulated machine).
// Defined by gui/win32/ and gui/machine/.
std::unique_ptr<Backend> makeNativeBackend();

// The backend the program runs with, from the one program_backend/ source
// that the program links: native.cpp, the Windows program as it ships (its
// windows only), or scripted.cpp, the emulated machine's program and the
// Windows test variant (ORVEL_GUI_SCRIPT set -> the scripted GUI reading that
// file; else the native windows; where there are none, the scripted GUI
// reading standard input; the transcript to ORVEL_GUI_TRANSCRIPT, or standard
// output when unset).
std::unique_ptr<Backend> makeProgramBackend();

}  // namespace orvel::gui
