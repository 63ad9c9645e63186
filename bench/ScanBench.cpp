// What a scan of the Tasks folder costs: the calls that reach Outlook (the
// stand-in counts them) and the wall time, for folders of 100 to 10,000 tasks
// of which 10% are overdue. Run under Wine:
//   build/win/wine-run.sh build/win/bin/wendlock_bench.exe [largest]
#include "core/Settings.h"
#include "core/win32.h"
#include "mainwindow/frmMain.h"
#include "standin/client/StandInClient.h"

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// n tasks: every tenth overdue, every fifth complete (with a past due date, so
// a scan that reads every task sees it), the rest due later or never.
std::wstring Scenario(int n)
{
    std::string text = "option linger\n";
    for (int i = 0; i < n; ++i) {
        const char* due = i % 10 == 0 ? "today-2d" : i % 5 == 1 ? "today-9d" : i % 2 ? "none" : "today+5d";
        const char* complete = i % 5 == 1 ? "1" : "0";
        text += "item folder=Tasks subject=\"Task " + std::to_string(i) + "\" entryid=T" + std::to_string(i) +
                " due=" + due + " complete=" + complete + "\n";
    }
    return wl::FromUtf8(text);
}

struct Counts {
    long long lookups = 0, invokes = 0, nexts = 0;
    long long Calls() const { return lookups + invokes + nexts; }
};

Counts Stats(const standin::StandIn& standin)
{
    std::string reply = standin.Command("stats");
    Counts c;
    c.lookups = std::atoll(standin::ReplyValue(reply, "getidsofnames").c_str());
    c.invokes = std::atoll(standin::ReplyValue(reply, "invoke").c_str());
    c.nexts = std::atoll(standin::ReplyValue(reply, "next").c_str());
    return c;
}

void Measure(int n, bool restrictMissing)
{
    auto standin = standin::StandIn::Start(Scenario(n));
    if (restrictMissing) standin.Command("fail Items.Restrict");

    auto window = std::make_shared<frmMain>();
    window->Load();  // connects once the message loop runs; overdue tracking is off in the settings file
    while (window->StartUpPending()) {
        MSG msg;
        if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
        ::DispatchMessageW(&msg);
    }
    g_blnTrackOverdueTasks = true;

    for (int pass = 1; pass <= 2; ++pass) {
        standin.Command("stats-reset");
        auto start = std::chrono::steady_clock::now();
        bool found = window->ScanForOverdueTasks();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Counts c = Stats(standin);
        size_t listed = window->OverdueTasksWindow() ? window->OverdueTasksWindow()->ItemCount() : 0;
        std::printf("| %6d | %s | %d | %5zu | %8lld | %8lld | %6lld | %8lld | %6.2f | %7.2f |%s\n", n,
                    restrictMissing ? "no " : "yes", pass, listed, c.lookups, c.invokes, c.nexts, c.Calls(),
                    static_cast<double>(c.Calls()) / n, seconds, found ? "" : " (none found)");
        std::fflush(stdout);
    }
    window->Unload(UnloadMode::FormCode);
    standin.Stop();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    wl::ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    int largest = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 10000;

    // A program folder of its own, with overdue tracking off at start-up.
    auto folder = std::filesystem::temp_directory_path() / "wendlock-bench";
    std::filesystem::create_directories(folder);
    g_strAppPath = folder.wstring() + L"\\";
    std::ofstream((folder / "wendlock_bench.ini").string()) << "[settings]\r\nDontTrackOverdueTasks=-1\r\n";
    ReadStartupSettings();

    std::printf("| tasks | Restrict | scan | listed | lookups | invokes | Next | calls | calls/task | seconds |\n");
    std::printf("| ---: | --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |\n");
    for (int n = 100; n <= largest; n *= 10) Measure(n, false);
    for (int n = 100; n <= largest; n *= 10) Measure(n, true);
    standin::StandIn::EndRunning();
    return 0;
}
