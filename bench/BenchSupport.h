// What the benchmarks share: the stand-in's call counts, a message pump for a
// while, and a program folder of their own with its settings file.
#pragma once

#include "core/Settings.h"
#include "core/win32.h"
#include "standin/client/StandInClient.h"

#include <commctrl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace bench {

// The calls that reached the stand-in since its last "stats-reset".
struct Counts {
    long long lookups = 0, invokes = 0, nexts = 0, objects = 0;
    long long Calls() const { return lookups + invokes + nexts; }
};

inline Counts Stats(const standin::StandIn& standin)
{
    const std::string reply = standin.Command("stats");
    auto value = [&](const char* key) { return std::atoll(standin::ReplyValue(reply, key).c_str()); };
    return {value("getidsofnames"), value("invoke"), value("next"), value("objects")};
}

// Pumps the thread's messages for the time; counts the timer messages that
// reach the window, when one is given.
inline long PumpFor(DWORD ms, HWND counted = nullptr)
{
    long ticks = 0;
    const ULONGLONG end = ::GetTickCount64() + ms;
    while (::GetTickCount64() < end) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (counted && msg.hwnd == counted && msg.message == WM_TIMER) ++ticks;
            ::DispatchMessageW(&msg);
        }
        ::Sleep(10);
    }
    return ticks;
}

// Common controls for the program's windows, and a program folder of its
// own in the temp folder with the settings file given, read as at start-up.
inline void PrepareProgram(const char* folderName, const char* iniName, const std::string& settings)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    const auto folder = std::filesystem::temp_directory_path() / folderName;
    std::filesystem::create_directories(folder);
    g_strAppPath = folder.wstring() + L"\\";
    std::ofstream((folder / iniName).string()) << settings;
    ReadStartupSettings();
}

}  // namespace bench
