// What following Outlook's reminders costs: the calls that reach Outlook (the
// stand-in counts them) when a reminder is dismissed in Outlook and the
// program looks at the collection again, with 200 reminders of which all or
// a quarter are shown; and the calls while nothing happens. Run under Wine:
//   build/win/wine-run.sh build/win/bin/wendlock_reminders_bench.exe
#include "tests/win/Inspector.h"
#include "core/Settings.h"
#include "core/win32.h"
#include "mainwindow/frmMain.h"
#include "standin/client/StandInClient.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct Counts {
    long long lookups = 0, invokes = 0, nexts = 0;
    long long Calls() const { return lookups + invokes + nexts; }
};

Counts Stats(const standin::StandIn& standin)
{
    std::string reply = standin.Command("stats");
    return {std::atoll(standin::ReplyValue(reply, "getidsofnames").c_str()),
            std::atoll(standin::ReplyValue(reply, "invoke").c_str()),
            std::atoll(standin::ReplyValue(reply, "next").c_str())};
}

void PumpFor(DWORD ms)
{
    const ULONGLONG end = ::GetTickCount64() + ms;
    while (::GetTickCount64() < end) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(10);
    }
}

void Measure(int n, int shownEvery)
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
    window->Unload(UnloadMode::FormCode);
    standin.Stop();
}

}  // namespace

int wmain()
{
    wl::ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    auto folder = std::filesystem::temp_directory_path() / "wendlock-reminders-bench";
    std::filesystem::create_directories(folder);
    g_strAppPath = folder.wstring() + L"\\";
    std::ofstream((folder / "wendlock_reminders_bench.ini").string()) << "[settings]\r\nDontTrackOverdueTasks=-1\r\n";
    ReadStartupSettings();

    std::printf("| reminders | shown | lines | lookups | invokes | Next | calls | calls/reminder | idle calls (3 s) |\n");
    std::printf("| ---: | ---: | --- | ---: | ---: | ---: | ---: | ---: | ---: |\n");
    Measure(200, 1);
    Measure(200, 4);
    standin::StandIn::EndRunning();
    return 0;
}
