#include "Processes.h"

#include <tlhelp32.h>

#include <vector>

namespace {

std::wstring FileNameOf(const std::wstring& path)
{
    auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

std::wstring ImagePathOf(HANDLE process)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(path.size());
        if (::QueryFullProcessImageNameW(process, 0, path.data(), &size)) {
            path.resize(size);
            return path;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || path.size() > 32768) return {};
        path.resize(path.size() * 2);
    }
}

}  // namespace

wl::UniqueHandle FindProgramProcess(const std::wstring& imagePath)
{
    const std::wstring name = FileNameOf(imagePath);
    const bool folderKnown = name.size() != imagePath.size();
    DWORD session = 0;
    if (name.empty() || !::ProcessIdToSessionId(::GetCurrentProcessId(), &session)) return {};

    wl::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));  // fails as INVALID_HANDLE_VALUE
    if (!snapshot) return {};
    std::vector<wl::UniqueHandle> byName, byPath;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        DWORD processSession = 0;
        if (!SameText(entry.szExeFile, name) || !::ProcessIdToSessionId(entry.th32ProcessID, &processSession) ||
            processSession != session)
            continue;
        wl::UniqueHandle process(
            ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        if (!process) continue;
        if (folderKnown && SameText(ImagePathOf(process.get()), imagePath)) byPath.push_back(std::move(process));
        else byName.push_back(std::move(process));
    }
    // The registered path decides; without a match the name alone, if only one runs.
    if (byPath.size() == 1) return std::move(byPath.front());
    if (byPath.empty() && byName.size() == 1) return std::move(byName.front());
    return {};
}

std::wstring FindOnPath(const std::wstring& name)
{
    DWORD needed = ::GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring path(needed, L'\0');
    if (needed) path.resize(::GetEnvironmentVariableW(L"PATH", path.data(), needed));
    std::wstring system(MAX_PATH, L'\0');
    system.resize(::GetSystemDirectoryW(system.data(), MAX_PATH));
    std::wstring search = system + L";" + path;
    std::wstring found(MAX_PATH, L'\0');
    DWORD n = ::SearchPathW(search.c_str(), name.c_str(), L".exe", MAX_PATH, found.data(), nullptr);
    if (n == 0 || n >= MAX_PATH) return {};
    found.resize(n);
    return found;
}

bool StartProgram(const std::wstring& program, const std::wstring& arguments, WORD show)
{
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return false;
    wl::UniqueHandle thread(process.hThread), started(process.hProcess);  // not waited for
    return true;
}
