// Setup.exe carries its manifest as resource 1 of type RT_MANIFEST: it asks
// for administrator rights and the version 6 common controls, and the
// system's loader accepts it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The built distribution's Setup.exe as a Windows path; Wine shows the Linux
// file system as drive Z:.
std::wstring distributedSetup() {
  std::string dist = ORVEL_DIST_DIR;
  std::wstring path = dist.rfind('/', 0) == 0 ? L"Z:" : L"";
  for (char c : dist) path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return path + L"\\Setup.exe";
}

class ModuleAsData {
 public:
  explicit ModuleAsData(const std::wstring& path)
      : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~ModuleAsData() {
    if (module_) FreeLibrary(module_);
  }
  ModuleAsData(const ModuleAsData&) = delete;
  ModuleAsData& operator=(const ModuleAsData&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

std::string manifestOf(HMODULE module) {
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
  if (!resource) return {};
  HGLOBAL loaded = LoadResource(module, resource);
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  return bytes ? std::string(bytes, SizeofResource(module, resource)) : std::string();
}

// The text of the first element that begins with `start`, up to its closing ">".
std::string elementAfter(const std::string& xml, const std::string& start) {
  size_t from = xml.find(start);
  if (from == std::string::npos) return {};
  return xml.substr(from, xml.find('>', from) - from + 1);
}

// Resource 1 asks for administrator rights and Common Controls 6.0.0.0.
TEST(Win32Manifest, SetupAsksForAdministratorAndCommonControls6) {
  std::wstring path = distributedSetup();
  ModuleAsData setup(path);
  ASSERT_NE(setup.get(), nullptr) << "cannot load Setup.exe, error " << GetLastError();
  std::string manifest = manifestOf(setup.get());
  ASSERT_FALSE(manifest.empty());

  EXPECT_NE(elementAfter(manifest, "<requestedExecutionLevel").find("level=\"requireAdministrator\""),
            std::string::npos);
  std::string controls = elementAfter(manifest, "<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\"");
  EXPECT_NE(controls.find("version=\"6.0.0.0\""), std::string::npos) << controls;
  EXPECT_NE(controls.find("processorArchitecture=\"*\""), std::string::npos) << controls;
  EXPECT_NE(controls.find("publicKeyToken=\"6595b64144ccf1df\""), std::string::npos) << controls;
}

// The loader builds an activation context from it: well-formed, and the
// common controls assembly it names exists.
TEST(Win32Manifest, LoaderAcceptsTheManifest) {
  std::wstring path = distributedSetup();
  ACTCTXW context{};
  context.cbSize = sizeof context;
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = path.c_str();
  context.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE handle = CreateActCtxW(&context);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE) << "error " << GetLastError();
  ReleaseActCtx(handle);
}

}  // namespace
