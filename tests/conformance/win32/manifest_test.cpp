// Setup.exe carries its manifest as resource 1 of type RT_MANIFEST: it asks
// for administrator rights and the version 6 common controls, declares its
// DPI awareness and the Windows versions it knows, and the system's loader
// accepts it. Setup.exe and OrvelDraw.exe carry the build's version
// resource, read back as Explorer reads it, and Setup.exe its icon.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "product.h"

namespace {

// The built distribution's Setup.exe as a Windows path; Wine shows the Linux
// file system as drive Z:.
std::wstring distributed(const wchar_t* name) {
  std::string dist = ORVEL_DIST_DIR;
  std::wstring path = dist.rfind('/', 0) == 0 ? L"Z:" : L"";
  for (char c : dist) path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return path + L"\\" + name;
}
std::wstring distributedSetup() { return distributed(L"Setup.exe"); }

std::wstring wideAscii(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

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

// Per-monitor DPI awareness v2 with the older per-monitor mode as fallback
// (dpiAwareness), the system DPI before Windows 10 (dpiAware), and the four
// supportedOS ids: Windows 7, 8, 8.1 and 10/11.
TEST(Win32Manifest, DeclaresDpiAwarenessAndTheSupportedWindowsVersions) {
  ModuleAsData setup(distributedSetup());
  ASSERT_NE(setup.get(), nullptr);
  const std::string manifest = manifestOf(setup.get());
  const std::string awareness = "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">";
  ASSERT_NE(manifest.find(awareness), std::string::npos);
  EXPECT_EQ(manifest.substr(manifest.find(awareness) + awareness.size(), 24), "PerMonitorV2, PerMonitor");
  EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
  for (const char* id : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                         "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
    EXPECT_NE(manifest.find("<supportedOS Id=\"{" + std::string(id) + "}\"/>"), std::string::npos) << id;
}

// The icon group that Explorer shows: the first one, with the four sizes
// Windows asks for in 32-bit colour, each of which the loader can make.
TEST(Win32Resources, SetupCarriesItsIconInFourSizes) {
  ModuleAsData setup(distributedSetup());
  ASSERT_NE(setup.get(), nullptr);
  HRSRC group = FindResourceW(setup.get(), MAKEINTRESOURCEW(1), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr) << "no icon";
  const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(setup.get(), group)));
  ASSERT_NE(bytes, nullptr);
  const unsigned count = bytes[4] | bytes[5] << 8;
  std::vector<int> sizes;
  for (unsigned i = 0; i < count; ++i) {
    const unsigned char* entry = bytes + 6 + 14 * i;  // GRPICONDIRENTRY
    sizes.push_back(entry[0] == 0 ? 256 : entry[0]);
    EXPECT_EQ(entry[6] | entry[7] << 8, 32) << "bits per pixel";
  }
  EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48, 256}));
  for (int size : sizes) {
    HICON icon = static_cast<HICON>(LoadImageW(setup.get(), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

// One string of a version resource's U.S. English Unicode block.
std::wstring versionString(const std::vector<char>& info, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || !value) return L"<missing>";
  return std::wstring(static_cast<const wchar_t*>(value), length > 0 ? length - 1 : 0);
}

// Both programs: the build's version in the fixed part and as text, the
// product's name, maker and copyright, a description and the file's own name.
TEST(Win32Resources, SetupAndApplicationCarryTheBuildsVersion) {
  struct Program {
    const wchar_t* name;
    const wchar_t* description;
  };
  for (const Program& program : {Program{L"Setup.exe", L"Orvel-Draw Setup"}, Program{L"OrvelDraw.exe", L"Orvel-Draw"}}) {
    SCOPED_TRACE(std::string(program.name, program.name + wcslen(program.name)));
    const std::wstring path = distributed(program.name);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource, error " << GetLastError();
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const unsigned numbers[] = {ORVEL_VERSION_NUMBERS};
    EXPECT_EQ(fixed->dwFileVersionMS, (numbers[0] << 16) | numbers[1]);
    EXPECT_EQ(fixed->dwFileVersionLS, (numbers[2] << 16) | numbers[3]);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    EXPECT_EQ(versionString(info, L"ProductName"), L"Orvel-Draw");
    EXPECT_EQ(versionString(info, L"ProductVersion"), wideAscii(ORVEL_VERSION));
    EXPECT_EQ(versionString(info, L"FileVersion"), wideAscii(ORVEL_VERSION_TEXT));
    EXPECT_EQ(versionString(info, L"FileDescription"), program.description);
    EXPECT_EQ(versionString(info, L"CompanyName"), wideAscii(ORVEL_COMPANY_NAME));
    EXPECT_EQ(versionString(info, L"LegalCopyright"), wideAscii(ORVEL_COPYRIGHT));
    EXPECT_EQ(versionString(info, L"OriginalFilename"), program.name);
  }
}

}  // namespace
