#include <windows.h>

#include "platform/entry.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return orvel::programMain(); }
