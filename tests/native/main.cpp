#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include "tests/native/native_run.h"

int main(int argc, char** argv) {
  // COM for the screenshots' image encoder and the shell's folders.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new orvel::native::NativeSuite);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
