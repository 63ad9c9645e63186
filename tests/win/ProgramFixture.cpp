#include "ProgramFixture.h"

#include "core/AppMessages.h"
#include "resources/resource.h"

namespace test {

RunningProgram::~RunningProgram()
{
    if (m_process && Running()) {
        ::TerminateProcess(m_process.get(), 99);
        ::WaitForSingleObject(m_process.get(), 5000);
    }
}

bool RunningProgram::Running() const { return ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT; }

bool RunningProgram::WaitForExit(std::chrono::milliseconds timeout)
{
    return PumpUntil([&] { return !Running(); }, timeout);
}

DWORD RunningProgram::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_process.get(), &code);
    return code;
}

HWND RunningProgram::MainWindow() const { return FindMainWindow(m_pid); }

TrayIcon RunningProgram::TrayBox() const { return FindMainTrayIcon(m_pid); }

bool RunningProgram::WaitForIcon(std::chrono::milliseconds timeout)
{
    if (!PumpUntil([&] { return TrayBox().owner != nullptr; }, timeout)) return false;
    // The icon shows before the main window is made: the start-up ends
    // when the program first waits for input.
    return ::WaitForInputIdle(m_process.get(), static_cast<DWORD>(timeout.count())) == 0 && MainWindow();
}

void RunningProgram::EndStartUpDelay()
{
    // Posted, the delay's tick is taken by the message loop, which runs once
    // the start-up has set the delay; the About box asked for next shows
    // once the tick has been handled. The box is then closed.
    HWND main = MainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(::PostMessageW(main, WM_TIMER, wl::kStartUpTimer, 0));
    ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDM_FILE_ABOUT, 0), 0));
    auto aboutBox = [&] {
        return FindTopLevel(m_pid, [](HWND hwnd) {
            return HasClass(hwnd, L"#32770") && ::IsWindowVisible(hwnd) && ::GetDlgItem(hwnd, 0xFFFF);
        });
    };
    ASSERT_TRUE(PumpUntil([&] { return aboutBox() != nullptr; })) << "the program's message loop did not run";
    ::PostMessageW(aboutBox(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(PumpUntil([&] { return aboutBox() == nullptr; }));
}

bool RunningProgram::EndSession(LPARAM reason) { return test::EndSession(m_pid, reason); }

ProgramFixture::ProgramFixture()
{
    for (const wchar_t* file : {L"olico.ico", L"olicod.ico", L"bell.ico", L"task.ico", L"newlnks.example.ini"})
        ::CopyFileW((BinFolder() + file).c_str(), (Folder() + file).c_str(), FALSE);
}

void ProgramFixture::TearDown()
{
    standin.Stop();
    standin::StandIn::EndRunning();
}

void ProgramFixture::StartStandIn(const std::string& scenario)
{
    standin = standin::StandIn::Start(wl::FromUtf8("option linger\n" + scenario));
}

RunningProgram ProgramFixture::Start(const std::wstring& exeName)
{
    std::wstring exe = Folder() + exeName;
    ::CopyFileW((BinFolder() + L"wendlock.exe").c_str(), exe.c_str(), TRUE);
    return StartAt(exe);
}

RunningProgram ProgramFixture::StartAt(const std::wstring& exe)
{
    std::wstring folder = exe.substr(0, exe.find_last_of(L'\\') + 1);
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &info)) {
        ADD_FAILURE() << "cannot start " << Narrow(exe) << ": " << ::GetLastError();
        return RunningProgram(nullptr, 0);
    }
    ::CloseHandle(info.hThread);
    return RunningProgram(info.hProcess, info.dwProcessId);
}

}  // namespace test
