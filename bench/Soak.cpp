// A soak run of the real program (the soak build, whose timer minutes last
// 100 ms): reminders every two seconds, tasks added and completed, Outlook
// killed twice, for the given minutes. Prints the program's handle, GDI and
// USER object counts and private memory along the way, and checks at the end
// that it still answers and saves its settings. Run with scripts/soak.sh.
#include "bench/SoakFigures.h"
#include "core/win32.h"
#include "tests/win/TestSupport.h"
#include "standin/client/StandInClient.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Sample {
    DWORD handles = 0, gdi = 0, user = 0, windows = 0, items = 0;
    SIZE_T privateKb = 0, residentKb = 0;
};

// The soak build's window that answers for its process.
HWND FigureWindow(DWORD pid)
{
    return test::FindTopLevel(pid, [](HWND hwnd) { return test::HasClass(hwnd, kSoakWindowClass); });
}

Sample Measure(HWND figures)
{
    auto figure = [&](SoakFigure which) {
        DWORD_PTR value = 0;
        ::SendMessageTimeoutW(figures, kSoakFigureMessage, static_cast<WPARAM>(which), 0, SMTO_NORMAL, 10000, &value);
        return value;
    };
    Sample s;
    s.handles = static_cast<DWORD>(figure(SoakFigure::Handles));
    s.gdi = static_cast<DWORD>(figure(SoakFigure::GdiObjects));
    s.user = static_cast<DWORD>(figure(SoakFigure::UserObjects));
    s.privateKb = figure(SoakFigure::PrivateKb);
    s.windows = static_cast<DWORD>(figure(SoakFigure::Windows));
    s.residentKb = figure(SoakFigure::ResidentKb);
    s.items = static_cast<DWORD>(figure(SoakFigure::AlertItems));
    return s;
}

std::string Command(const std::string& command)
{
    return standin::SendCommand(command, 2000, 10000).value_or("error no stand-in");
}

// The items reminders are fired for, added afresh to whichever Outlook runs.
std::vector<std::string> AddMail(int count)
{
    std::vector<std::string> ids;
    for (int i = 0; i < count; ++i) {
        std::string reply = Command("add folder=Inbox \"subject=Soak mail " + std::to_string(i) + "\" reminder=now");
        if (standin::ReplyOk(reply)) ids.push_back(standin::ReplyStatus(reply).substr(3));
    }
    return ids;
}

void PrintRow(double minutes, const Sample& s, int reminders, int kills)
{
    // sinks: 1 while the program is connected to the Outlook now running.
    std::string sinks = standin::ReplyValue(Command("state"), "sinks");
    std::printf("| %5.1f | %7lu | %5lu | %5lu | %7lu | %9zu | %9zu | %5lu | %9d | %5d | %5s |\n", minutes, s.handles,
                s.gdi, s.user, s.windows, s.privateKb, s.residentKb, s.items, reminders, kills,
                sinks.empty() ? "-" : sinks.c_str());
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    wl::ComApartment com(COINIT_APARTMENTTHREADED);
    const double minutes = argc > 1 ? std::wcstod(argv[1], nullptr) : 10.0;
    // "reminders": only the reminders, to tell apart where a change comes from.
    const std::wstring mode = argc > 2 ? argv[2] : L"";
    const bool remindersOnly = mode == L"reminders";
    const bool noKills = remindersOnly || mode == L"nokill";
    const fs::path bin = fs::path(standin::StandIn::DefaultExePath()).parent_path();

    // A program folder of its own.
    fs::path folder = fs::temp_directory_path() / "wendlock-soak";
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(bin / "wendlock_soak.exe", folder / "wendlock.exe");
    for (const char* file : {"olico.ico", "olicod.ico", "bell.ico", "task.ico", "newlnks.example.ini"})
        fs::copy_file(bin / file, folder / file);

    std::string scenario = "option linger\n";
    for (int i = 0; i < 20; ++i)
        scenario += "item folder=Tasks \"subject=Soak task " + std::to_string(i) + "\" due=" +
                    (i % 4 == 0 ? "today-1d" : "today+2d") + " complete=0\n";
    auto standin = standin::StandIn::Start(wl::FromUtf8(scenario));

    std::wstring exe = (folder / "wendlock.exe").wstring();
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.wstring().c_str(), &startup, &info)) {
        std::printf("cannot start the program: %lu\n", ::GetLastError());
        return 2;
    }
    wl::UniqueHandle process(info.hProcess), thread(info.hThread);

    HWND main = nullptr, figures = nullptr;
    for (int i = 0; i < 200 && !(main = test::FindMainWindow(info.dwProcessId)); ++i)
        test::Pump(std::chrono::milliseconds(100));
    figures = FigureWindow(info.dwProcessId);
    if (!main || !figures) {
        std::printf("the program shows no window\n");
        return 2;
    }

    std::printf("| minute | handles | GDI | USER | windows | private KB | resident KB | items | reminders | kills | "
                "sinks |\n");
    std::printf("| ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |\n");
    test::Pump(std::chrono::seconds(20));  // settled: connected, first scan, first alerts
    const Sample first = Measure(figures);
    PrintRow(0, first, 0, 0);

    std::mt19937 random(12345);
    std::vector<std::string> mail = AddMail(10);
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double, std::ratio<60>>(minutes);
    auto nextRow = start + std::chrono::seconds(60);
    int reminders = 0, kills = 0, tick = 0;
    std::vector<std::string> tasks;
    while (Clock::now() < end) {
        test::Pump(std::chrono::seconds(2));
        ++tick;
        // After a kill the program starts a new Outlook; its mail is added anew.
        if (mail.empty()) mail = AddMail(10);
        if (!mail.empty() && standin::ReplyOk(Command("fire-reminder " + mail[random() % mail.size()])))
            ++reminders;
        if (!remindersOnly && tick % 3 == 0) {  // a new overdue task, and an older one done
            std::string reply = Command("add folder=Tasks \"subject=Soak added " + std::to_string(tick) +
                                        "\" due=today-1d complete=0");
            if (standin::ReplyOk(reply)) tasks.push_back(standin::ReplyStatus(reply).substr(3));
            if (tasks.size() > 5) {
                Command("set " + tasks.front() + " complete=1");
                tasks.erase(tasks.begin());
            }
        }
        double elapsed = std::chrono::duration<double, std::ratio<60>>(Clock::now() - start).count();
        if (!noKills && kills < 2 && elapsed >= minutes * (kills + 1) / 3) {
            // Outlook crashes; the program must notice and start it again.
            Command("kill");
            ++kills;
            test::Pump(std::chrono::seconds(10));
            mail.clear();
            tasks.clear();
        }
        if (Clock::now() >= nextRow) {
            PrintRow(elapsed, Measure(figures), reminders, kills);
            nextRow += std::chrono::seconds(60);
        }
    }

    const Sample last = Measure(figures);
    PrintRow(minutes, last, reminders, kills);

    // Still responsive, and a logoff still saves the settings.
    auto asked = Clock::now();
    DWORD_PTR result = 0;
    bool answered = ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &result) != 0;
    double answerMs = std::chrono::duration<double, std::milli>(Clock::now() - asked).count();
    ::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &result);
    ::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &result);
    bool ended = ::WaitForSingleObject(process.get(), 10000) == WAIT_OBJECT_0;
    bool saved = fs::exists(folder / "wendlock.ini");
    std::printf("\nanswered WM_NULL: %s in %.0f ms; ended at logoff: %s; settings saved: %s\n",
                answered ? "yes" : "no", answerMs, ended ? "yes" : "no", saved ? "yes" : "no");
    std::printf("handles %lu -> %lu, GDI %lu -> %lu, USER %lu -> %lu, windows %lu -> %lu, private %zu KB -> %zu KB, "
                "resident %zu KB -> %zu KB\n",
                first.handles, last.handles, first.gdi, last.gdi, first.user, last.user, first.windows, last.windows,
                first.privateKb, last.privateKb, first.residentKb, last.residentKb);

    standin.Stop();
    standin::StandIn::EndRunning();
    return answered && ended && saved ? 0 : 1;
}
