// Runs copies of the real wendlock.exe from a program folder of the test's own.
#pragma once

#include "TestSupport.h"

#include "standin/client/StandInClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace test {

// One started process of the program.
class RunningProgram {
public:
    RunningProgram(HANDLE process, DWORD pid) : m_process(process), m_pid(pid) {}
    RunningProgram(RunningProgram&&) = default;
    ~RunningProgram();

    bool Running() const;
    bool WaitForExit(std::chrono::milliseconds timeout);
    DWORD ExitCode() const;
    // The hidden main window and its tray icon.
    HWND MainWindow() const;
    TrayIcon TrayBox() const;
    // Waits until the program shows its main tray icon and has started up.
    bool WaitForIcon(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The start-up delay runs out now: what follows it (connecting, showing
    // Outlook, the first scan) has run when this returns.
    void EndStartUpDelay();
    // Windows ends the session: WM_QUERYENDSESSION, then WM_ENDSESSION, to
    // each of the program's windows, for a logoff or (ENDSESSION_CLOSEAPP)
    // Restart Manager closing the program. Returns whether all agreed.
    bool EndSession(LPARAM reason = ENDSESSION_LOGOFF);
    DWORD ProcessId() const noexcept { return m_pid; }
    HANDLE Process() const noexcept { return m_process.get(); }

private:
    wl::UniqueHandle m_process;
    DWORD m_pid;
};

class ProgramFixture : public testing::Test {
protected:
    ProgramFixture();
    void TearDown() override;

    const std::wstring& Folder() const { return m_folder.Path(); }
    void StartStandIn(const std::string& scenario = {});
    // Copies wendlock.exe into the folder under that name (once) and starts it.
    RunningProgram Start(const std::wstring& exeName);
    // Starts a copy of the program that lies elsewhere.
    RunningProgram StartAt(const std::wstring& exePath);

    standin::StandIn standin;

private:
    TempFolder m_folder;
};

}  // namespace test
