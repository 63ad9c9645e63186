#include "OutlookPath.h"

#include "core/Registry.h"

std::wstring ReadOutlookPath()
{
    constexpr wchar_t kAppPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OUTLOOK.EXE";
    std::wstring path = ReadRegistryString(HKEY_LOCAL_MACHINE, kAppPath, L"", KEY_WOW64_64KEY);
    if (path.empty()) path = ReadRegistryString(HKEY_LOCAL_MACHINE, kAppPath, L"", KEY_WOW64_32KEY);
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
    return path;
}
