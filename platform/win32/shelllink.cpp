// The shell's link object (CLSID_ShellLink) through IShellLinkW and IPersistFile.
#include "platform/shelllink.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <utility>
#include <vector>

#include "platform/system.h"
#include "platform/win32/win32.h"

namespace orvel::shelllink {
namespace {

using win32::ComPtr;

// COM for this thread for the length of one call, when the thread has not
// initialised it itself (test programs; the GUI program does it at start).
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  // S_OK and S_FALSE both count one initialisation; RPC_E_CHANGED_MODE none.
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }

 private:
  HRESULT result_;
};

// The link object with its two interfaces.
struct LinkObject {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
};

Result failed(HRESULT code, const char* call) {
  return Result::failure(static_cast<uint32_t>(code), call, static_cast<int32_t>(code));
}

Result create(LinkObject& object) {
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                IID_IShellLinkW, object.link.out());
  if (FAILED(hr)) return failed(hr, kCreateCall);
  hr = object.link->QueryInterface(IID_IPersistFile, object.file.out());
  if (FAILED(hr)) return failed(hr, "QueryInterface");
  return Result::success();
}

const wchar_t* wide(const Str& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// A getter's text through a zeroed buffer, so that a failing getter gives "".
template <class Getter>
Str fetch(size_t bufferChars, Getter getter) {
  std::vector<wchar_t> buffer(bufferChars == 0 ? 1 : bufferChars, L'\0');
  getter(buffer.data(), static_cast<int>(buffer.size()));
  buffer.back() = L'\0';
  return Str(reinterpret_cast<const char16_t*>(buffer.data()));
}

}  // namespace

Result save(const Str& linkFile, const LinkData& data) {
  ComScope com;
  LinkObject object;
  if (Result created = create(object); !created) return created;
  // The object's answers are not examined: a failing Save leaves no file.
  object.link->SetArguments(wide(data.arguments));
  object.link->SetDescription(wide(data.description));
  object.link->SetHotkey(data.hotKey);
  if (!data.iconFile.empty()) object.link->SetIconLocation(wide(data.iconFile), data.iconIndex);
  object.link->SetPath(wide(data.path));
  object.link->SetShowCmd(data.showCommand);
  object.link->SetWorkingDirectory(wide(data.workingDirectory));
  object.file->Save(wide(linkFile), FALSE);
  return Result::success();
}

Outcome<LinkData> load(const Str& linkFile, size_t bufferChars) {
  ComScope com;
  LinkObject object;
  if (Result created = create(object); !created) return created;
  IShellLinkW* link = object.link.get();
  object.file->Load(wide(linkFile), STGM_READ);
  LinkData data;
  data.arguments = fetch(bufferChars, [&](wchar_t* b, int n) { link->GetArguments(b, n); });
  data.description = fetch(bufferChars, [&](wchar_t* b, int n) { link->GetDescription(b, n); });
  WORD hotKey = 0;
  link->GetHotkey(&hotKey);
  data.hotKey = hotKey;
  int iconIndex = 0;
  data.iconFile = fetch(bufferChars, [&](wchar_t* b, int n) { link->GetIconLocation(b, n, &iconIndex); });
  data.iconIndex = iconIndex;
  WIN32_FIND_DATAW findData{};
  data.path = fetch(bufferChars, [&](wchar_t* b, int n) { link->GetPath(b, n, &findData, SLGP_UNCPRIORITY); });
  int showCommand = SW_SHOWNORMAL;
  link->GetShowCmd(&showCommand);
  data.showCommand = showCommand;
  data.workingDirectory = fetch(bufferChars, [&](wchar_t* b, int n) { link->GetWorkingDirectory(b, n); });
  return data;
}

}  // namespace orvel::shelllink
