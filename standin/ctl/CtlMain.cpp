// standin-ctl.exe: a console client for the stand-in's control pipe, for
// scripts and the demo: standin-ctl.exe <command...> prints the reply.
#include "client/StandInClient.h"

#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> words(argv + 1, argv + argc);
    return standin::RunControlClient(words);
}
