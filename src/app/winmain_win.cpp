#include <windows.h>

// The start-up sequence arrives with the application core; until then the program only exists.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return 0;
}
