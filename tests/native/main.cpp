#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include "tests/native/native_run.h"

int main(int argc, char** argv) {
  // The driver reads the program's windows in their own pixels, whatever
  // DPI the program runs at (DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  // an unaware driver would be shown them scaled to 96 DPI.
  using SetContext = BOOL(WINAPI*)(HANDLE);
  if (const auto set = reinterpret_cast<SetContext>(reinterpret_cast<void (*)()>(
          GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext"))))
    set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
  // COM for the screenshots' image encoder and the shell's folders.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new orvel::native::NativeSuite);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
