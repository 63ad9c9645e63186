// What following Outlook's reminders costs: the calls that reach Outlook (the
// stand-in counts them) when a reminder is dismissed in Outlook and the
// program looks at the collection again, with 200 reminders of which all or
// a quarter are shown; the calls while nothing happens; what the user's
// Dismiss All costs for the lines left; and what one reminder that comes due
// and the Dismiss of its line cost. Run under Wine:
//   build/win/wine-run.sh build/win/bin/wendlock_reminders_bench.exe
#include "bench/BenchSupport.h"
#include "tests/win/Inspector.h"
#include "core/Settings.h"
#include "core/win32.h"
#include "resources/resource.h"
#include "mainwindow/frmMain.h"
#include "standin/client/StandInClient.h"


#include <cstdio>
#include <string>

namespace {

using bench::Counts;
using bench::PumpFor;
using bench::Stats;

// The user presses Dismiss All in the reminders window: the calls until it
// has gone, and how long the press took.
std::string DismissAll(const standin::StandIn& standin, frmMain& window, int n, size_t lines)
{
    HWND alert = Inspector::RemindersWindow(window)->Hwnd();
    standin.Command("stats-reset");
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    ::SendMessageW(alert, WM_COMMAND, MAKEWPARAM(IDC_CMDDISMISSALL, BN_CLICKED), 0);
    ::QueryPerformanceCounter(&end);
    PumpFor(2000);  // the collection's events of the dismissals
    Counts calls = Stats(standin);
    size_t left = Inspector::RemindersWindow(window) ? Inspector::ItemCount(*Inspector::RemindersWindow(window)) : 0;
    char row[200];
    std::snprintf(row, sizeof row, "| %d | %zu -> %zu | %lld | %lld | %lld | %lld | %.2f | %.2f |", n, lines, left,
                  calls.lookups, calls.invokes, calls.nexts, calls.Calls(),
                  static_cast<double>(calls.Calls()) / static_cast<double>(lines),
                  static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
    return row;
}

// Prints the row of the first table; returns that of Dismiss All (empty when
// no line was left to dismiss).
std::string Measure(int n, int shownEvery)
{
    std::string text = "option linger\n";
    int shown = 0;
    for (int i = 0; i < n; ++i) {
        bool visible = i % shownEvery == 0;
        shown += visible;
        text += "item folder=Inbox subject=R" + std::to_string(i) + " entryid=R" + std::to_string(i) +
                " reminder=now-1h visible=" + (visible ? "1" : "0") + "\n";
    }
    auto standin = standin::StandIn::Start(wl::FromUtf8(text));
    auto window = std::make_shared<frmMain>();
    window->Load();
    PumpFor(3000);  // connects, lists what Outlook shows
    const auto& alert = Inspector::RemindersWindow(*window);
    size_t before = alert ? Inspector::ItemCount(*alert) : 0;

    standin.Command("stats-reset");
    PumpFor(3000);
    Counts idle = Stats(standin);

    standin.Command("stats-reset");
    standin.Command("dismiss R0");  // the user, in Outlook
    PumpFor(2000);
    Counts change = Stats(standin);
    size_t after = Inspector::RemindersWindow(*window) ? Inspector::ItemCount(*Inspector::RemindersWindow(*window)) : 0;
    std::printf("| %d | %d | %zu -> %zu | %lld | %lld | %lld | %lld | %.2f | %lld |\n", n, shown, before, after,
                change.lookups, change.invokes, change.nexts, change.Calls(),
                static_cast<double>(change.Calls()) / n, idle.Calls());
    std::fflush(stdout);
    std::string dismissAll = after > 0 ? DismissAll(standin, *window, n, after) : std::string();
    window->Unload(UnloadMode::FormCode);
    standin.Stop();
    return dismissAll;
}

// One reminder comes due among n that Outlook holds, none shown: the calls
// until its line is listed; then, with a second line listed, the user
// dismisses the first: the calls until Outlook's event of it is handled.
void FireAndDismissOne(int n)
{
    std::string text = "option linger\n";
    for (int i = 0; i < n; ++i)
        text += "item folder=Calendar subject=R" + std::to_string(i) + " entryid=R" + std::to_string(i) +
                " reminder=now+1h location=\"Room " + std::to_string(i) + "\"\n";
    auto standin = standin::StandIn::Start(wl::FromUtf8(text));
    auto window = std::make_shared<frmMain>();
    window->Load();
    PumpFor(3000);

    standin.Command("stats-reset");
    standin.Command("fire-reminder R7");
    const ULONGLONG end = ::GetTickCount64() + 5000;
    while (!Inspector::RemindersWindow(*window) && ::GetTickCount64() < end) PumpFor(10);
    PumpFor(500);
    Counts fired = Stats(standin);

    standin.Command("fire-reminder R8");  // a second line, so the window stays after the Dismiss
    PumpFor(1000);
    standin.Command("stats-reset");
    HWND alert = Inspector::RemindersWindow(*window) ? Inspector::RemindersWindow(*window)->Hwnd() : nullptr;
    ::SendMessageW(::GetDlgItem(alert, IDC_LSTREMINDERS), LB_SETCURSEL, 0, 0);
    ::SendMessageW(alert, WM_COMMAND, MAKEWPARAM(IDC_CMDDISMISS, BN_CLICKED), 0);
    PumpFor(2000);  // the collection's event of the dismissal
    Counts dismissed = Stats(standin);
    std::printf("| %d | %lld | %lld | %lld | %lld | %lld | %lld | %lld | %lld |\n", n, fired.lookups, fired.invokes,
                fired.nexts, fired.Calls(), dismissed.lookups, dismissed.invokes, dismissed.nexts, dismissed.Calls());
    std::fflush(stdout);
    window->Unload(UnloadMode::FormCode);
    standin.Stop();
}

}  // namespace

int wmain()
{
    wl::ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    bench::PrepareProgram("wendlock-reminders-bench", "wendlock_reminders_bench.ini",
                          "[settings]\r\nDontTrackOverdueTasks=-1\r\n");

    std::printf("| reminders | shown | lines | lookups | invokes | Next | calls | calls/reminder | idle calls (3 s) |\n");
    std::printf("| ---: | ---: | --- | ---: | ---: | ---: | ---: | ---: | ---: |\n");
    const std::string dismissAll[] = {Measure(200, 1), Measure(200, 4)};
    std::printf("\nDismiss All:\n\n");
    std::printf("| reminders | lines | lookups | invokes | Next | calls | calls/line | seconds |\n");
    std::printf("| ---: | --- | ---: | ---: | ---: | ---: | ---: | ---: |\n");
    for (const std::string& row : dismissAll)
        if (!row.empty()) std::printf("%s\n", row.c_str());

    std::printf("\nOne reminder comes due, then its line is dismissed:\n\n");
    std::printf("| reminders | lookups | invokes | Next | calls to list it | lookups | invokes | Next | calls to dismiss it |\n");
    std::printf("| ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |\n");
    FireAndDismissOne(200);
    standin::StandIn::EndRunning();
    return 0;
}
