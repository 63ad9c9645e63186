#include "Registration.h"

#include "Server.h"
#include "Text.h"

#include <string>

namespace standin {

namespace {

struct ClassEntry {
    const wchar_t* progId;
    const wchar_t* clsid;
    const wchar_t* description;
};

constexpr ClassEntry kClasses[] = {
    {L"Outlook.Application", L"{0006F03A-0000-0000-C000-000000000046}", L"Microsoft Outlook (stand-in)"},
    {L"Word.Application", L"{000209FF-0000-0000-C000-000000000046}", L"Microsoft Word (stand-in)"},
};

constexpr wchar_t kAppPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OUTLOOK.EXE";

LONG SetDefault(const std::wstring& keyPath, const std::wstring& value, const wchar_t* name = nullptr)
{
    HKEY raw = nullptr;
    LONG rc = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw,
                                nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    wl::UniqueHkey key(raw);
    return ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

HRESULT RegisterServer()
{
    std::wstring exe = wl::ExecutablePath();
    // Quoted only when needed: COM appends " -Embedding" to this command line.
    std::wstring command = exe.find(L' ') != std::wstring::npos ? L"\"" + exe + L"\"" : exe;
    for (const ClassEntry& c : kClasses) {
        std::wstring root = L"Software\\Classes\\";
        LONG rc = SetDefault(root + c.progId, c.description);
        if (rc == ERROR_SUCCESS) rc = SetDefault(root + c.progId + L"\\CLSID", c.clsid);
        if (rc == ERROR_SUCCESS) rc = SetDefault(root + L"CLSID\\" + c.clsid, c.description);
        if (rc == ERROR_SUCCESS) rc = SetDefault(root + L"CLSID\\" + c.clsid + L"\\LocalServer32", command);
        if (rc == ERROR_SUCCESS) rc = SetDefault(root + L"CLSID\\" + c.clsid + L"\\ProgID", c.progId);
        if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    }
    LONG rc = SetDefault(kAppPath, exe);
    if (rc == ERROR_SUCCESS) rc = SetDefault(kAppPath, ExeFolder(), L"Path");
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

HRESULT UnregisterServer()
{
    LONG worst = ERROR_SUCCESS;
    auto remove = [&](const std::wstring& path) {
        LONG rc = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
        if (rc == ERROR_SUCCESS) rc = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND && worst == ERROR_SUCCESS) worst = rc;
    };
    for (const ClassEntry& c : kClasses) {
        remove(std::wstring(L"Software\\Classes\\") + c.progId);
        remove(std::wstring(L"Software\\Classes\\CLSID\\") + c.clsid);
    }
    remove(kAppPath);
    return worst == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(worst);
}

}  // namespace standin
