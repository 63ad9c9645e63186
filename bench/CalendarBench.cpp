// What a read of the day's meetings costs: the calls that reach Outlook (the
// stand-in counts them) and the wall time, for a calendar of 5,000 items of
// which 50 are daily series, with 0 to 40 meetings left today. Run under Wine:
//   build/win/wine-run.sh build/win/bin/wendlock_calendar_bench.exe
#include "bench/BenchSupport.h"
#include "core/Clock.h"
#include "core/win32.h"
#include "outlook/OutlookSession.h"
#include "standin/client/StandInClient.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

struct Quiet final : OutlookSession::Owner {
    void OutlookConnected(bool) override {}
    void OutlookDisconnected() override {}
    void OutlookRemindersFired(const std::vector<wl::Reminder>&) override {}
    void OutlookRemindersShown(const std::vector<wl::Reminder>&) override {}
    void OutlookStoresChanged() override {}
    void OutlookCalendarChanged() override {}
};

// items in all: `today` single meetings later today (a minute apart, so
// they fit before midnight), 50 daily series that began weeks ago and meet
// some time today (half of them still to come), the rest single meetings
// spread over the year before and after today, a quarter of them all day.
std::wstring Scenario(int items, int today)
{
    std::string text = "option linger\n";
    int n = 0;
    auto add = [&](const std::string& fields) {
        text += "item folder=Calendar subject=\"Meeting " + std::to_string(n) + "\" entryid=C" + std::to_string(n) +
                " reminder=none " + fields + "\n";
        ++n;
    };
    for (int i = 0; i < today; ++i)
        add("start=now+" + std::to_string(10 + i) + "m end=now+" + std::to_string(40 + i) +
            "m location=\"https://acme.zoom.us/j/" + std::to_string(i) + "\"");
    for (int s = 0; s < 50; ++s) {
        // Weeks ago, at a time of day either past or still ahead.
        const int hours = 24 * (20 + s) + (s % 2 ? 1 : -1) * (1 + s % 3);
        add("daily=1 start=now-" + std::to_string(hours) + "h end=now-" + std::to_string(hours - 1) + "h");
    }
    while (n < items) {
        const int days = 2 + (n * 7919) % 360;
        const std::string sign = n % 2 ? "+" : "-";
        add("start=today" + sign + std::to_string(days) + "d end=today" + sign + std::to_string(days) + "d" +
            (n % 4 == 0 ? " allday=1" : ""));
    }
    return wl::FromUtf8(text);
}

using bench::Counts;
using bench::Stats;

void Measure(int items, int today)
{
    auto standin = standin::StandIn::Start(Scenario(items, today));
    Quiet owner;
    OutlookSession session(owner);
    session.Start(L"");
    session.Open(false);
    for (int pass = 1; pass <= 2; ++pass) {
        standin.Command("stats-reset");
        const double now = LocalNow();
        const auto start = std::chrono::steady_clock::now();
        const auto meetings = session.ReadToday(now, std::floor(now) + 1.0, true);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const Counts c = Stats(standin);
        std::printf("| %5d | %2d | %d | %4zu | %5lld | %5lld | %5lld | %6.3f |\n", items, today, pass,
                    meetings ? meetings->size() : 0, c.lookups, c.invokes, c.Calls(), seconds);
        std::fflush(stdout);
    }
    session.Stop();
    session.Reset();
    standin.Stop();
}

}  // namespace

int wmain()
{
    wl::ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    std::printf("| items | single today | read | meetings read | lookups | invokes | calls | seconds |\n");
    std::printf("| ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |\n");
    for (int today : {0, 10, 20, 40}) Measure(5000, today);
    standin::StandIn::EndRunning();
    return 0;
}
