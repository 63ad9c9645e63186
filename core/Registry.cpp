#include "Registry.h"

#include "core/Conversions.h"

std::wstring ReadRegistryString(HKEY root, std::wstring_view keyPath, std::wstring_view valueName, REGSAM view)
{
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, std::wstring(keyPath).c_str(), 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS)
        return {};
    wl::UniqueHkey key(opened);

    // 255 characters of spaces: a value that is not found leaves them all.
    std::wstring buffer(255, L' ');
    DWORD type = REG_SZ;
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    (void)::RegQueryValueExW(key.get(), std::wstring(valueName).c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    return wl::TrimAtNull(wl::TrimSpaces(buffer));
}

std::wstring ReadOutlookPath()
{
    constexpr wchar_t kAppPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OUTLOOK.EXE";
    std::wstring path = ReadRegistryString(HKEY_LOCAL_MACHINE, kAppPath, L"", KEY_WOW64_64KEY);
    if (path.empty()) path = ReadRegistryString(HKEY_LOCAL_MACHINE, kAppPath, L"", KEY_WOW64_32KEY);
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
    return path;
}
