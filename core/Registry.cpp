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

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"Wendlock";

std::wstring RunCommandOf(const std::wstring& exePath) { return L"\"" + exePath + L"\""; }

bool NamesThisCopy(const std::wstring& command, const std::wstring& exePath)
{
    std::wstring path = command;
    if (path.size() >= 2 && path.front() == L'"') path = path.substr(1, path.find(L'"', 1) - 1);
    return ::CompareStringOrdinal(path.c_str(), -1, exePath.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool StartsAtLogon(const std::wstring& exePath)
{
    return NamesThisCopy(ReadRegistryString(HKEY_CURRENT_USER, kRunKey, kRunValue), exePath);
}

bool SetStartAtLogon(const std::wstring& exePath, bool start)
{
    HKEY opened = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &opened,
                          nullptr) != ERROR_SUCCESS)
        return false;
    wl::UniqueHkey key(opened);
    if (start) {
        std::wstring command = RunCommandOf(exePath);
        return ::RegSetValueExW(key.get(), kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    // Another copy's entry is that copy's business.
    if (!StartsAtLogon(exePath)) return true;
    return ::RegDeleteValueW(key.get(), kRunValue) == ERROR_SUCCESS;
}
