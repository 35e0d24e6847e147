// Stand-in for the drawing application in the demo distribution. The setup
// program only starts it; it has nothing to do but end at once.
#ifdef _WIN32
#include <windows.h>
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
#else
int main() { return 0; }
#endif
