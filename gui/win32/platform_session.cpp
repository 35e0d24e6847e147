// What the GUI needs of Windows besides its windows: COM on the GUI thread
// (the shell link object and the folder dialog need it), the common
// controls, the environment and whether a console is attached to standard
// input.
#include <io.h>
#include <objbase.h>
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "gui/backend.h"

namespace orvel::gui {
namespace {

// CoInitialize on the GUI thread for the lifetime of the application object;
// the common controls (tooltips, and the themed look the manifest asks for)
// registered once.
class ComSession : public PlatformSession {
 public:
  ComSession() : initialized_(SUCCEEDED(CoInitialize(nullptr))) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
  }
  ~ComSession() override {
    if (initialized_) CoUninitialize();
  }
  ComSession(const ComSession&) = delete;
  ComSession& operator=(const ComSession&) = delete;

 private:
  bool initialized_;
};

}  // namespace

std::unique_ptr<PlatformSession> startPlatformSession() { return std::make_unique<ComSession>(); }

std::optional<Str> environmentVariable(const char* name) {
  std::wstring wideName(name, name + std::char_traits<char>::length(name));
  const wchar_t* value = _wgetenv(wideName.c_str());
  if (!value) return std::nullopt;
  return Str(reinterpret_cast<const char16_t*>(value));
}

bool standardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

}  // namespace orvel::gui
