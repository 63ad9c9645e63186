// What the reminder card costs: the calls that reach Outlook (the stand-in
// counts them) for a fired meeting reminder whose link stands in the body
// (the body read) or in the location; the time from the fire until the card
// is on screen, against the time until the balloon is handed to the shell;
// and, with the card up and nothing happening, the calls into Outlook and the
// card's timer ticks over 65 s. Run under Wine:
//   build/win/wine-run.sh build/win/bin/wendlock_card_bench.exe
#include "bench/BenchSupport.h"
#include "tests/win/Inspector.h"
#include "core/AppMessages.h"
#include "core/Settings.h"
#include "core/win32.h"
#include "mainwindow/frmMain.h"
#include "standin/client/StandInClient.h"


#include <cstdio>
#include <string>

namespace {

using bench::Counts;
using bench::PumpFor;
using bench::Stats;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Measure(const char* where, const std::string& item, bool idle)
{
    auto standin = standin::StandIn::Start(wl::FromUtf8("option linger\n" + item));
    auto window = std::make_shared<frmMain>();
    window->Load();
    PumpFor(3000);

    standin.Command("stats-reset");
    LARGE_INTEGER fired, card{}, balloon{}, now;
    ::QueryPerformanceCounter(&fired);
    standin.Command("fire-reminder A1");
    // Polled without sleeping: the first moment each is there.
    const ULONGLONG end = ::GetTickCount64() + 5000;
    while ((!card.QuadPart || !balloon.QuadPart) && ::GetTickCount64() < end) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::QueryPerformanceCounter(&now);
        HWND hwnd = Inspector::Card(*window).Hwnd();
        if (!card.QuadPart && hwnd && ::IsWindowVisible(hwnd)) card = now;
        const auto& list = Inspector::RemindersWindow(*window);
        if (!balloon.QuadPart && list && Inspector::AlertsRaised(*list) > 0) balloon = now;
    }
    PumpFor(500);
    Counts calls = Stats(standin);
    std::printf("| %s | %lld | %lld | %lld | %lld | %.1f | %.1f |\n", where, calls.lookups, calls.invokes, calls.nexts,
                calls.Calls(), card.QuadPart ? Seconds(fired, card) * 1000 : -1.0,
                balloon.QuadPart ? Seconds(fired, balloon) * 1000 : -1.0);
    std::fflush(stdout);

    if (idle) {
        standin.Command("stats-reset");
        const long ticks = PumpFor(65000, Inspector::Card(*window).Hwnd());
        Counts quiet = Stats(standin);
        std::printf("\nIdle, the card up, 65 s: %lld calls into Outlook, %ld timer ticks of the card, card %s\n",
                    quiet.Calls(), ticks, ::IsWindowVisible(Inspector::Card(*window).Hwnd()) ? "still up" : "gone");
    }
    window->Unload(UnloadMode::FormCode);
    standin.Stop();
}

}  // namespace

int wmain()
{
    wl::ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    bench::PrepareProgram("wendlock-card-bench", "wendlock_card_bench.ini",
                          "[settings]\r\nDontTrackOverdueTasks=-1\r\n");
    g_blnTrackOverdueTasks = false;  // only the reminder's own calls are counted

    std::printf("| link in | lookups | invokes | Next | calls | card on screen (ms) | balloon handed to the shell (ms) |\n");
    std::printf("| --- | ---: | ---: | ---: | ---: | ---: | ---: |\n");
    Measure("body", "item folder=Calendar subject=Sync entryid=A1 reminder=now+2h start=now+10m location=\"Room 4\" "
                    "body=\"Join: https://meet.google.com/abc-defg-hij\"\n", false);
    Measure("location", "item folder=Calendar subject=Sync entryid=A1 reminder=now+2h start=now+10m "
                        "location=\"https://acme.zoom.us/j/123\" body=\"x\"\n", false);
    Measure("none", "item folder=Calendar subject=Sync entryid=A1 reminder=now+2h start=now+10m location=\"Room 4\" "
                    "body=\"no link\"\n", true);
    standin::StandIn::EndRunning();
    return 0;
}
