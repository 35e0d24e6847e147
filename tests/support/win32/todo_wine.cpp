#include "tests/support/todo_wine.h"

#include <windows.h>

namespace orvel::test {

// Wine's ntdll exports its version; Windows' does not.
bool runsUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace orvel::test
