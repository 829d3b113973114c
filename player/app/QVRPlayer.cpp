// QVR Player program entry. The main window arrives with the start-up work; until then the
// program only carries its resources and manifest.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
