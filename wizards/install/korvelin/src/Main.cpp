// Program entry: one wizard run per process.
#include "Tarnwick.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return theApp.InitInstance();
}
