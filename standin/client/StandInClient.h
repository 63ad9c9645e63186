// Drives the Outlook stand-in (outlook-standin.exe) from tests: starts it with
// a scenario, sends control commands, reads its journal.
//
//     auto standin = standin::StandIn::Start(L"option linger\nitem folder=Tasks subject=\"Call Bob\" entryid=T1\n");
//     ... the code under test does CreateObject("Outlook.Application") ...
//     standin.Command("fire-reminder T1");
//     EXPECT_TRUE(standin::HasLine(standin.Journal(), "Item:T1.Subject() -> \"Call Bob\""));
//
// Command() keeps the calling thread's messages flowing while it waits, so an
// event fired into a sink of the calling (STA) thread is delivered meanwhile.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

struct StartOptions {
    // Empty: OUTLOOK_STANDIN_EXE from the environment, else outlook-standin.exe
    // beside the running exe.
    std::wstring exePath;
    DWORD timeoutMs = 20000;      // until the control pipe answers
    bool clearJournal = true;     // start with an empty journal file
    bool registerIfNeeded = true; // /regserver unless the classes already point at exePath
};

class StandIn {
public:
    // Ends any stand-in still running, starts "outlook-standin.exe -Embedding
    // -scenario <temp file>" and waits until it answers ping. Throws
    // std::runtime_error when it cannot.
    static StandIn Start(const std::wstring& scenarioText, const StartOptions& options = {});

    StandIn() = default;
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;
    StandIn(StandIn&& other) noexcept;
    StandIn& operator=(StandIn&& other) noexcept;
    ~StandIn();

    // One control command; returns the whole reply (first line "ok ..." or
    // "error ..."). Throws std::runtime_error when no stand-in answers.
    std::string Command(const std::string& command) const;
    // The journal file's lines (also after the process has ended).
    std::vector<std::string> Journal() const;
    void ClearJournal() const;
    // Ends the process this object started: "exit", then "kill", then
    // TerminateProcess. A stand-in COM started later on its own is left alone
    // (EndRunning ends those; Start calls it).
    void Stop();
    // The process this object started is still running.
    bool Running() const;
    DWORD ProcessId() const noexcept { return m_pid; }
    HANDLE Process() const noexcept { return m_process; }
    const std::wstring& JournalPath() const noexcept { return m_journal; }
    const std::wstring& ExePath() const noexcept { return m_exe; }

    static std::wstring DefaultExePath();
    // Ends every stand-in that answers on the control pipe.
    static void EndRunning(DWORD timeoutMs = 5000);
    // Registers exePath (/regserver) unless Outlook.Application already points at it.
    static bool EnsureRegistered(const std::wstring& exePath);
    // Waits (pumping messages) until the process has ended.
    bool WaitForExit(DWORD timeoutMs) const;

private:
    HANDLE m_process = nullptr;
    DWORD m_pid = 0;
    std::wstring m_exe;
    std::wstring m_journal;
    std::wstring m_scenarioFile;
};

// One request on the control pipe. nullopt when no stand-in accepted the
// connection within connectMs, or the reply did not come within replyMs.
std::optional<std::string> SendCommand(const std::string& command, DWORD connectMs = 2000, DWORD replyMs = 30000);

// Reply helpers.
bool ReplyOk(const std::string& reply);
std::string ReplyStatus(const std::string& reply);               // the first line
std::vector<std::string> ReplyData(const std::string& reply);    // the lines after it
std::string ReplyValue(const std::string& reply, std::string_view key);  // "key=value" data line

// Journal helpers: lines are matched by substring.
std::ptrdiff_t FindLine(const std::vector<std::string>& journal, std::string_view needle, size_t from = 0);
bool HasLine(const std::vector<std::string>& journal, std::string_view needle);
size_t CountLines(const std::vector<std::string>& journal, std::string_view needle);
// Each needle occurs in a line after the line of the one before it.
bool InOrder(const std::vector<std::string>& journal, std::initializer_list<std::string_view> needles);

// The command-line client behind "outlook-standin.exe /ctl" and standin-ctl.exe:
// joins the words into one command, prints the reply; 0 for ok, 1 for error,
// 2 when no stand-in answers.
int RunControlClient(const std::vector<std::wstring>& words);

}  // namespace standin
