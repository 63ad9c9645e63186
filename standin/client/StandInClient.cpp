#include "StandInClient.h"

#include "../src/Text.h"

#include <cstdio>
#include <stdexcept>
#include <utility>

namespace standin {

namespace {

constexpr wchar_t kPipe[] = L"\\\\.\\pipe\\outlook-standin";

class Handle {
public:
    explicit Handle(HANDLE h = nullptr) noexcept : m_h(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle()
    {
        if (m_h) ::CloseHandle(m_h);
    }
    HANDLE get() const noexcept { return m_h; }
    explicit operator bool() const noexcept { return m_h != nullptr; }

private:
    HANDLE m_h;
};

// Waits for an object while dispatching the thread's messages, so COM calls
// into this thread's apartment (event sinks) are served meanwhile.
bool WaitPumping(HANDLE object, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        ULONGLONG now = ::GetTickCount64();
        DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        DWORD r = ::MsgWaitForMultipleObjectsEx(1, &object, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0) return true;
        if (r != WAIT_OBJECT_0 + 1) return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return ::WaitForSingleObject(object, left) == WAIT_OBJECT_0;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

// One overlapped read or write on the pipe, pumping while it waits.
bool Transfer(HANDLE pipe, bool write, char* data, DWORD size, DWORD& done, DWORD timeoutMs)
{
    Handle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED ov{};
    ov.hEvent = event.get();
    done = 0;
    BOOL ok = write ? ::WriteFile(pipe, data, size, nullptr, &ov) : ::ReadFile(pipe, data, size, nullptr, &ov);
    if (!ok && ::GetLastError() != ERROR_IO_PENDING) return false;
    if (!WaitPumping(event.get(), timeoutMs)) {
        ::CancelIo(pipe);
        ::GetOverlappedResult(pipe, &ov, &done, TRUE);
        return false;
    }
    return ::GetOverlappedResult(pipe, &ov, &done, FALSE) && (done > 0 || size == 0);
}

std::string ReadWholeFile(const std::wstring& path)
{
    Handle f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string out;
    char buf[65536];
    DWORD got = 0;
    while (f && ::ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
    return out;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    return lines;
}

std::wstring RegistryDefault(const std::wstring& keyPath)
{
    wchar_t buf[2048];
    DWORD size = sizeof buf;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, keyPath.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buf, &size) !=
        ERROR_SUCCESS)
        return {};
    return buf;
}

// The journal file a scenario names, or the default beside the exe.
std::wstring JournalPathFor(const std::wstring& scenario, const std::wstring& exeFolder)
{
    size_t pos = 0;
    std::wstring path;
    while (pos < scenario.size()) {
        size_t nl = scenario.find(L'\n', pos);
        std::wstring line = scenario.substr(pos, nl == std::wstring::npos ? std::wstring::npos : nl - pos);
        pos = nl == std::wstring::npos ? scenario.size() : nl + 1;
        auto words = Tokenize(line);
        if (words.size() < 2 || Lower(words[0]) != L"option") continue;
        for (size_t i = 1; i < words.size(); ++i) {
            Field f = SplitField(words[i]);
            if (f.name == L"journal" && f.hasValue) path = f.value;
        }
    }
    return path.empty() ? exeFolder + L"outlook-standin.journal" : WindowsPath(path, exeFolder);
}

DWORD PidFromState(const std::string& reply)
{
    std::string pid = ReplyValue(reply, "pid");
    return pid.empty() ? 0 : static_cast<DWORD>(std::strtoul(pid.c_str(), nullptr, 10));
}

// Makes one command text of several words, quoting the ones with blanks.
std::wstring JoinWords(const std::vector<std::wstring>& words)
{
    std::wstring out;
    for (const std::wstring& w : words) {
        if (!out.empty()) out += L' ';
        if (w.find_first_of(L" \t") == std::wstring::npos || w.find(L'"') != std::wstring::npos) {
            out += w;
            continue;
        }
        size_t eq = w.find(L'=');
        std::wstring name = eq == std::wstring::npos ? L"" : w.substr(0, eq + 1);
        std::wstring value = eq == std::wstring::npos ? w : w.substr(eq + 1);
        std::wstring quoted;
        for (wchar_t c : value) {
            if (c == L'"' || c == L'\\') quoted += L'\\';
            quoted += c;
        }
        out += name + L"\"" + quoted + L"\"";
    }
    return out;
}

}  // namespace

std::optional<std::string> SendCommand(const std::string& command, DWORD connectMs, DWORD replyMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + connectMs;
    HANDLE raw = INVALID_HANDLE_VALUE;
    for (;;) {
        raw = ::CreateFileW(kPipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                            nullptr);
        if (raw != INVALID_HANDLE_VALUE) break;
        DWORD error = ::GetLastError();
        ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return std::nullopt;
        DWORD left = static_cast<DWORD>(deadline - now);
        if (error == ERROR_PIPE_BUSY) ::WaitNamedPipeW(kPipe, left < 200 ? left : 200);
        else ::Sleep(left < 20 ? left : 20);
    }
    Handle pipe(raw);

    std::string request = command + "\n";
    DWORD done = 0;
    if (!Transfer(pipe.get(), true, request.data(), static_cast<DWORD>(request.size()), done, replyMs))
        return std::nullopt;
    std::string reply;
    char buf[65536];
    for (;;) {
        if (!Transfer(pipe.get(), false, buf, sizeof buf, done, replyMs)) {
            DWORD error = ::GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED || (done == 0 && !reply.empty())) break;
            return std::nullopt;
        }
        reply.append(buf, done);
    }
    if (reply.empty()) return std::nullopt;
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
    return reply;
}

bool ReplyOk(const std::string& reply) { return reply == "ok" || reply.rfind("ok ", 0) == 0 || reply.rfind("ok\n", 0) == 0; }

std::string ReplyStatus(const std::string& reply) { return reply.substr(0, reply.find('\n')); }

std::vector<std::string> ReplyData(const std::string& reply)
{
    auto lines = SplitLines(reply);
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
}

std::string ReplyValue(const std::string& reply, std::string_view key)
{
    for (const std::string& line : ReplyData(reply))
        if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 && line[key.size()] == '=')
            return line.substr(key.size() + 1);
    return {};
}

std::ptrdiff_t FindLine(const std::vector<std::string>& journal, std::string_view needle, size_t from)
{
    for (size_t i = from; i < journal.size(); ++i)
        if (journal[i].find(needle) != std::string::npos) return static_cast<std::ptrdiff_t>(i);
    return -1;
}

bool HasLine(const std::vector<std::string>& journal, std::string_view needle) { return FindLine(journal, needle) >= 0; }

size_t CountLines(const std::vector<std::string>& journal, std::string_view needle)
{
    size_t n = 0;
    for (const std::string& line : journal)
        if (line.find(needle) != std::string::npos) ++n;
    return n;
}

bool InOrder(const std::vector<std::string>& journal, std::initializer_list<std::string_view> needles)
{
    size_t from = 0;
    for (std::string_view needle : needles) {
        std::ptrdiff_t at = FindLine(journal, needle, from);
        if (at < 0) return false;
        from = static_cast<size_t>(at) + 1;
    }
    return true;
}

// StandIn ----------------------------------------------------------------------------------------

std::wstring StandIn::DefaultExePath()
{
    wchar_t env[MAX_PATH * 2];
    DWORD n = ::GetEnvironmentVariableW(L"OUTLOOK_STANDIN_EXE", env, MAX_PATH * 2);
    if (n > 0 && n < MAX_PATH * 2) return env;
    return ExeFolder() + L"outlook-standin.exe";
}

bool StandIn::EnsureRegistered(const std::wstring& exePath)
{
    std::wstring server =
        RegistryDefault(L"Software\\Classes\\CLSID\\{0006F03A-0000-0000-C000-000000000046}\\LocalServer32");
    if (server.size() > 1 && server.front() == L'"') server = server.substr(1, server.find(L'"', 1) - 1);
    if (EqualsNoCase(server, exePath) &&
        !RegistryDefault(L"Software\\Classes\\Outlook.Application\\CLSID").empty() &&
        !RegistryDefault(L"Software\\Classes\\Word.Application\\CLSID").empty())
        return true;
    std::wstring command = L"\"" + exePath + L"\" /regserver";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exePath.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    Handle process(pi.hProcess), thread(pi.hThread);
    DWORD code = 1;
    if (::WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0) ::GetExitCodeProcess(process.get(), &code);
    return code == 0;
}

void StandIn::EndRunning(DWORD timeoutMs)
{
    for (int round = 0; round < 4; ++round) {
        auto state = SendCommand("state", 50, timeoutMs);
        if (!state) return;
        DWORD pid = PidFromState(*state);
        Handle process(pid ? ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid) : nullptr);
        (void)SendCommand("exit", 1000, timeoutMs);
        if (process && ::WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0) continue;
        // It does not go: the same as a crash, with the class objects revoked first.
        (void)SendCommand("kill", 1000, 2000);
        if (process && ::WaitForSingleObject(process.get(), 2000) != WAIT_OBJECT_0) {
            ::TerminateProcess(process.get(), 9);
            ::WaitForSingleObject(process.get(), 2000);
        }
    }
}

StandIn StandIn::Start(const std::wstring& scenarioText, const StartOptions& options)
{
    StandIn s;
    s.m_exe = options.exePath.empty() ? DefaultExePath() : options.exePath;
    if (::GetFileAttributesW(s.m_exe.c_str()) == INVALID_FILE_ATTRIBUTES)
        throw std::runtime_error("outlook-standin.exe not found: " + Utf8(s.m_exe));
    if (options.registerIfNeeded && !EnsureRegistered(s.m_exe))
        throw std::runtime_error("outlook-standin.exe /regserver failed");
    EndRunning();

    std::wstring folder = s.m_exe.substr(0, s.m_exe.find_last_of(L"\\/") + 1);
    s.m_journal = JournalPathFor(scenarioText, folder);
    if (options.clearJournal && !::DeleteFileW(s.m_journal.c_str())) {
        Handle f(::CreateFileW(s.m_journal.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (f) ::SetEndOfFile(f.get());
    }

    // The scenario goes to a file of its own in the temp folder.
    static LONG counter = 0;
    wchar_t temp[MAX_PATH + 1];
    DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    s.m_scenarioFile = std::wstring(temp, n) + L"outlook-standin-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                       std::to_wstring(::InterlockedIncrement(&counter)) + L".scenario";
    {
        Handle f(::CreateFileW(s.m_scenarioFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        std::string bytes = Utf8(scenarioText);
        DWORD written = 0;
        if (!f || !::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            throw std::runtime_error("cannot write the scenario file " + Utf8(s.m_scenarioFile));
    }

    std::wstring command = L"\"" + s.m_exe + L"\" -Embedding -scenario \"" + s.m_scenarioFile + L"\"";
    // The stand-in gets NUL as its standard handles: it must not hold the
    // test runner's output pipe (ctest waits for every holder to let go).
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Handle nul(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (nul) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = si.hStdOutput = si.hStdError = nul.get();
    }
    PROCESS_INFORMATION pi{};
    auto launch = [&] {
        return ::CreateProcessW(s.m_exe.c_str(), command.data(), nullptr, nullptr, nul ? TRUE : FALSE, 0, nullptr,
                                folder.c_str(), &si, &pi) != FALSE;
    };
    // Wine now and then fails a launch with ERROR_INTERNAL_ERROR; a second
    // try a moment later goes through.
    bool started = launch();
    if (!started && ::GetLastError() == ERROR_INTERNAL_ERROR) {
        ::Sleep(200);
        started = launch();
    }
    if (!started)
        throw std::runtime_error("cannot start outlook-standin.exe, error " + std::to_string(::GetLastError()));
    ::CloseHandle(pi.hThread);
    s.m_process = pi.hProcess;
    s.m_pid = pi.dwProcessId;

    const ULONGLONG deadline = ::GetTickCount64() + options.timeoutMs;
    while (::GetTickCount64() < deadline) {
        if (::WaitForSingleObject(s.m_process, 0) == WAIT_OBJECT_0) {
            DWORD code = 0;
            ::GetExitCodeProcess(s.m_process, &code);
            auto journal = s.Journal();
            throw std::runtime_error("outlook-standin.exe ended at once with code " + std::to_string(code) +
                                     (journal.empty() ? std::string() : ": " + journal.back()));
        }
        auto reply = SendCommand("state", 50, 5000);
        if (reply && ReplyOk(*reply)) {
            if (PidFromState(*reply) == s.m_pid) return s;
            // An older stand-in still holds the pipe: end it too.
            EndRunning();
        }
        ::Sleep(20);
    }
    throw std::runtime_error("outlook-standin.exe did not answer on its control pipe");
}

StandIn::StandIn(StandIn&& other) noexcept
    : m_process(std::exchange(other.m_process, nullptr)),
      m_pid(std::exchange(other.m_pid, 0)),
      m_exe(std::move(other.m_exe)),
      m_journal(std::move(other.m_journal)),
      m_scenarioFile(std::move(other.m_scenarioFile))
{
}

StandIn& StandIn::operator=(StandIn&& other) noexcept
{
    if (this != &other) {
        Stop();
        m_process = std::exchange(other.m_process, nullptr);
        m_pid = std::exchange(other.m_pid, 0);
        m_exe = std::move(other.m_exe);
        m_journal = std::move(other.m_journal);
        m_scenarioFile = std::move(other.m_scenarioFile);
    }
    return *this;
}

StandIn::~StandIn()
{
    try {
        Stop();
    } catch (...) {
    }
}

std::string StandIn::Command(const std::string& command) const
{
    auto reply = SendCommand(command);
    if (!reply) throw std::runtime_error("the stand-in did not answer: " + command);
    return *reply;
}

std::vector<std::string> StandIn::Journal() const { return SplitLines(ReadWholeFile(m_journal)); }

void StandIn::ClearJournal() const
{
    if (Running() && SendCommand("journal-clear", 1000)) return;
    Handle f(::CreateFileW(m_journal.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (f) ::SetEndOfFile(f.get());
}

bool StandIn::Running() const { return m_process && ::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT; }

bool StandIn::WaitForExit(DWORD timeoutMs) const { return !m_process || WaitPumping(m_process, timeoutMs); }

void StandIn::Stop()
{
    if (!m_process) return;
    if (Running()) {
        (void)SendCommand("exit", 1000, 5000);
        if (!WaitForExit(5000)) {
            (void)SendCommand("kill", 1000, 2000);
            if (!WaitForExit(2000)) ::TerminateProcess(m_process, 9);
            ::WaitForSingleObject(m_process, 2000);
        }
    }
    ::CloseHandle(std::exchange(m_process, nullptr));
    if (!m_scenarioFile.empty()) ::DeleteFileW(m_scenarioFile.c_str());
    m_scenarioFile.clear();
}

int RunControlClient(const std::vector<std::wstring>& words)
{
    // A GUI-subsystem exe run from a console writes there too.
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE) {
        if (::AttachConsole(ATTACH_PARENT_PROCESS)) out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    }
    auto write = [&](const std::string& text) {
        DWORD written = 0;
        if (out && out != INVALID_HANDLE_VALUE)
            ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    };
    if (words.empty()) {
        write("usage: outlook-standin.exe /ctl <command...>\n");
        return 2;
    }
    auto reply = SendCommand(Utf8(JoinWords(words)), 3000, 60000);
    if (!reply) {
        write("error no stand-in answers on \\\\.\\pipe\\outlook-standin\n");
        return 2;
    }
    write(*reply + "\n");
    return ReplyOk(*reply) ? 0 : 1;
}

}  // namespace standin
