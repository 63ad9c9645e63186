// What a scan of the Tasks folder costs: the calls that reach Outlook (the
// stand-in counts them) and the wall time, for folders of 100 to 10,000 tasks
// of which 10% are overdue, through the Table and through each walk of the
// items an Outlook without tables gets. Also, once the overdue list holds
// what the scan found, the Outlook objects the program holds (the stand-in's
// live objects), and the program's handles and working set. Run under Wine:
//   build/win/wine-run.sh build/win/bin/wendlock_bench.exe [largest]
// or, for the scan of several stores of 2,000 tasks each:
//   build/win/wine-run.sh build/win/bin/wendlock_bench.exe stores
#include "bench/BenchSupport.h"
#include "bench/SoakFigures.h"
#include "tests/win/Inspector.h"
#include "core/Settings.h"
#include "core/win32.h"
#include "mainwindow/frmMain.h"
#include "standin/client/StandInClient.h"


#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

// How the scan reads the folder: what the stand-in is told to lack.
struct Path {
    const char* name;
    std::vector<std::string> missing;
};

const Path kPaths[] = {
    {"table   ", {}},
    {"Restrict", {"Folder.GetTable"}},
    {"neither ", {"Folder.GetTable", "Items.Restrict"}},
};

using bench::Counts;
using bench::Stats;

void Measure(int n, const Path& path)
{
    auto standin = standin::StandIn::Start(Scenario(n));
    for (const std::string& member : path.missing) standin.Command("fail " + member);

    auto window = std::make_shared<frmMain>();
    window->Load();  // connects once the message loop runs; overdue tracking is off in the settings file
    while (Inspector::StartUpPending(*window)) {
        MSG msg;
        if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
        ::DispatchMessageW(&msg);
    }
    g_blnTrackOverdueTasks = true;
    const DWORD handlesBefore = CountOwnHandles();

    for (int pass = 1; pass <= 2; ++pass) {
        standin.Command("stats-reset");
        auto start = std::chrono::steady_clock::now();
        bool found = Inspector::ScanForOverdueTasks(*window);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Counts c = Stats(standin);
        size_t listed = Inspector::OverdueTasksWindow(*window) ? Inspector::ItemCount(*Inspector::OverdueTasksWindow(*window)) : 0;
        std::printf("| %6d | %s | %d | %5zu | %7lld | %7lld | %5lld | %7lld | %5.2f | %7.2f | %5lld | %+4ld | %6lld |%s\n",
                    n, path.name, pass, listed, c.lookups, c.invokes, c.nexts, c.Calls(),
                    static_cast<double>(c.Calls()) / n, seconds, c.objects,
                    static_cast<long>(CountOwnHandles()) - static_cast<long>(handlesBefore), OwnWorkingSetKb(),
                    found ? "" : " (none found)");
        std::fflush(stdout);
    }
    window->Unload(UnloadMode::FormCode);
    standin.Stop();
}

// The scenario of `stores` stores of n tasks each (the default store and
// others), with one more store whose Tasks folder raises when failing is set.
std::wstring StoresScenario(int stores, int n, bool failing)
{
    std::string text = "option linger\n";
    for (int s = 1; s < stores; ++s) text += "other-store \"Store " + std::to_string(s) + "\"\n";
    if (failing) text += "other-store \"Broken\" tasks=missing\n";
    for (int s = 0; s < stores; ++s)
        for (int i = 0; i < n; ++i) {
            const char* due = i % 10 == 0 ? "today-2d" : i % 5 == 1 ? "today-9d" : i % 2 ? "none" : "today+5d";
            const char* complete = i % 5 == 1 ? "1" : "0";
            text += "item folder=Tasks" + (s ? " store=\"Store " + std::to_string(s) + "\"" : std::string()) +
                    " subject=\"Task " + std::to_string(i) + "\" due=" + due + " complete=" + complete + "\n";
        }
    return wl::FromUtf8(text);
}

// One scan of every store through the tables, twice.
void MeasureStores(int stores, int n, bool failing)
{
    auto standin = standin::StandIn::Start(StoresScenario(stores, n, failing));
    auto window = std::make_shared<frmMain>();
    window->Load();
    while (Inspector::StartUpPending(*window)) {
        MSG msg;
        if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
        ::DispatchMessageW(&msg);
    }
    g_blnTrackOverdueTasks = true;
    for (int pass = 1; pass <= 2; ++pass) {
        standin.Command("stats-reset");
        auto start = std::chrono::steady_clock::now();
        (void)Inspector::ScanForOverdueTasks(*window);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Counts c = Stats(standin);
        size_t listed = Inspector::OverdueTasksWindow(*window) ? Inspector::ItemCount(*Inspector::OverdueTasksWindow(*window)) : 0;
        std::printf("| %d%s | %6d | %d | %5zu | %7lld | %7lld | %5lld | %7lld | %6.1f | %5.2f |\n", stores,
                    failing ? " + 1 failing" : "", n, pass, listed, c.lookups, c.invokes, c.nexts, c.Calls(),
                    static_cast<double>(c.Calls()) / stores, seconds);
        std::fflush(stdout);
    }
    window->Unload(UnloadMode::FormCode);
    standin.Stop();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    wl::ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    int largest = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 10000;
    // A program folder of its own, with overdue tracking off at start-up.
    bench::PrepareProgram("wendlock-bench", "wendlock_bench.ini", "[settings]\r\nDontTrackOverdueTasks=-1\r\n");

    if (argc > 1 && std::wstring(argv[1]) == L"stores") {
        // Several stores of 2,000 tasks each, and what a store that fails adds.
        std::printf("| stores | tasks each | scan | listed | lookups | invokes | Next | calls | calls/store | seconds |\n");
        std::printf("| --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |\n");
        MeasureStores(1, 2000, false);
        MeasureStores(5, 2000, false);
        MeasureStores(5, 2000, true);
        standin::StandIn::EndRunning();
        return 0;
    }
    std::printf("| tasks | path | scan | listed | lookups | invokes | Next | calls | calls/task | seconds | objects | "
                "handles | working set KB |\n");
    std::printf("| ---: | --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |\n");
    for (int n = 100; n <= largest; n *= 10)
        for (const Path& path : kPaths) Measure(n, path);
    standin::StandIn::EndRunning();
    return 0;
}
