#include "Registry.h"

#include "core/Conversions.h"

#include <vector>

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

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
constexpr wchar_t kRunValue[] = L"Wendlock";

std::wstring RunCommandOf(const std::wstring& exePath) { return L"\"" + exePath + L"\""; }

bool NamesThisCopy(const std::wstring& command, const std::wstring& exePath)
{
    std::wstring path = command;
    if (path.size() >= 2 && path.front() == L'"') path = path.substr(1, path.find(L'"', 1) - 1);
    return ::CompareStringOrdinal(path.c_str(), -1, exePath.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// A value of any length and of the given type; empty when it is missing.
std::vector<BYTE> ReadValue(HKEY root, const wchar_t* key, DWORD type)
{
    const DWORD flags = type == REG_SZ ? RRF_RT_REG_SZ : RRF_RT_REG_BINARY;
    for (int attempt = 0; attempt < 3; ++attempt) {  // again when it grew in between
        DWORD bytes = 0;
        if (::RegGetValueW(root, key, kRunValue, flags, nullptr, nullptr, &bytes) != ERROR_SUCCESS) return {};
        std::vector<BYTE> data(bytes);
        LSTATUS result = ::RegGetValueW(root, key, kRunValue, flags, nullptr, data.data(), &bytes);
        if (result == ERROR_SUCCESS) {
            data.resize(bytes);
            return data;
        }
        if (result != ERROR_MORE_DATA) return {};
    }
    return {};
}

std::wstring RunCommand(HKEY root)
{
    std::vector<BYTE> data = ReadValue(root, kRunKey, REG_SZ);
    return wl::TrimAtNull(std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t)));
}

// The switch's mark: the lowest bit of its first byte means off (03, 07; on is 02, 06).
bool IsOff(const std::vector<BYTE>& approved) { return !approved.empty() && (approved[0] & 1) != 0; }

// Whether the entry under this root names this copy and Windows runs it.
bool StartsHere(HKEY root, const std::wstring& exePath)
{
    return NamesThisCopy(RunCommand(root), exePath) && !IsOff(ReadValue(root, kApprovedKey, REG_BINARY));
}

}  // namespace

LogonStart LogonStartOf(const std::wstring& exePath)
{
    if (StartsHere(HKEY_LOCAL_MACHINE, exePath)) return LogonStart::EveryUser;
    if (StartsHere(HKEY_CURRENT_USER, exePath)) return LogonStart::ThisUser;
    return LogonStart::Off;
}

bool SetStartAtLogon(const std::wstring& exePath, bool start)
{
    if (start && StartsHere(HKEY_LOCAL_MACHINE, exePath)) return true;
    HKEY opened = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &opened,
                          nullptr) != ERROR_SUCCESS)
        return false;
    wl::UniqueHkey key(opened);
    if (start) {
        std::wstring command = RunCommandOf(exePath);
        if (::RegSetValueExW(key.get(), kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                             static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
            return false;
        // Turned off in Task Manager: on again, as its switch does it (the time it was turned off goes).
        std::vector<BYTE> approved = ReadValue(HKEY_CURRENT_USER, kApprovedKey, REG_BINARY);
        if (!IsOff(approved)) return true;
        approved[0] = static_cast<BYTE>(approved[0] & 0xFE);
        for (std::size_t i = 4; i < approved.size() && i < 12; ++i) approved[i] = 0;
        return ::RegSetKeyValueW(HKEY_CURRENT_USER, kApprovedKey, kRunValue, REG_BINARY, approved.data(),
                                 static_cast<DWORD>(approved.size())) == ERROR_SUCCESS;
    }
    // Another copy's entry is that copy's business.
    if (!NamesThisCopy(RunCommand(HKEY_CURRENT_USER), exePath)) return true;
    return ::RegDeleteValueW(key.get(), kRunValue) == ERROR_SUCCESS;
}

void HoldStartAtLogonPolicy(const std::optional<bool>& policy, const std::wstring& exePath)
{
    if (policy && (LogonStartOf(exePath) != LogonStart::Off) != *policy) (void)SetStartAtLogon(exePath, *policy);
}
