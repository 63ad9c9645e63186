// The program's entry point.
#include "app/basMain.h"
#include "core/win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return RunProgram(); }
