#include "MainWindowFixture.h"

#include "core/Registry.h"
#include "outlook/OutlookPath.h"
#include "Inspector.h"

#include "core/SettingsRules.h"
#include "core/basINI.h"

namespace test {

void MainWindowFixture::TearDown()
{
    if (window && window->Loaded()) {
        MessageBoxWatcher boxes;  // nothing may wait for a user at the end
        window->Unload(UnloadMode::FormCode);
    }
    window.reset();
    standin.Stop();
    standin::StandIn::EndRunning();
}

void MainWindowFixture::StartStandIn(const std::string& scenario)
{
    // The rig registers the stand-in as Outlook; without it every test here
    // would test some other program, or none.
    ASSERT_NE(ReadOutlookPath().find(L"outlook-standin.exe"), std::wstring::npos)
        << "the Wine rig has not registered the stand-in as OUTLOOK.EXE";
    standin = standin::StandIn::Start(wl::FromUtf8("option linger\n" + scenario));
}

void MainWindowFixture::LoadWindow()
{
    ReadStartupSettings();
    window = std::make_shared<frmMain>();
    window->Load();
    // What follows the start-up delay runs from the message loop; a test
    // that sets a long delay does not wait for it.
    if (wl::LoadDelayFromKey(ReadIniSetting(L"LoadDelay")) <= 5000)
        PumpUntil([&] { return !window->Loaded() || !Inspector::StartUpPending(*window); }, std::chrono::seconds(20));
}

std::wstring MainWindowFixture::TrayFile() const
{
    std::wstring file;
    if (!window || !Inspector::TrayIconShown(Inspector::TrayBox(*window), &file)) return {};
    return file.substr(file.find_last_of(L'\\') + 1);
}

std::wstring MainWindowFixture::TrayTip() const
{
    std::wstring tip;
    if (!window || !Inspector::TrayIconShown(Inspector::TrayBox(*window), nullptr, &tip)) return {};
    return tip;
}

MainWindowFixture::RefuseOutlook::RefuseOutlook()
{
    standin::StandIn::EndRunning();
    std::wstring exe = standin::StandIn::DefaultExePath();
    standin::StandIn::EnsureRegistered(exe);
    m_file = exe.substr(0, exe.find_last_of(L'\\') + 1) + L"outlook-standin.refuse";
    WriteTextFile(m_file, "");
}

MainWindowFixture::RefuseOutlook::~RefuseOutlook()
{
    ::DeleteFileW(m_file.c_str());
    // A stand-in that refused ends by itself shortly after, its class revoked
    // first: the next start must not reach one that is still going.
    const std::wstring journal = m_file.substr(0, m_file.find_last_of(L'\\') + 1) + L"outlook-standin.journal";
    auto count = [](const std::string& text, std::string_view line) {
        std::size_t n = 0;
        for (auto at = text.find(line); at != std::string::npos; at = text.find(line, at + line.size())) ++n;
        return n;
    };
    EXPECT_TRUE(PumpUntil([&] {
        std::string text = ReadTextFile(journal);
        return count(text, "Server exit (refused)") >= count(text, "-> !0x80080005");
    })) << "a stand-in that refused did not end";
}

MainWindowFixture::OutlookNotInstalled::OutlookNotInstalled()
{
    standin::StandIn::EndRunning();
    std::wstring exe = standin::StandIn::DefaultExePath();
    std::wstring command = L"\"" + exe + L"\" /unregserver";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        ADD_FAILURE() << "cannot unregister the stand-in: " << ::GetLastError();
        return;
    }
    wl::UniqueHandle process(info.hProcess), thread(info.hThread);
    ::WaitForSingleObject(process.get(), 30000);
}

MainWindowFixture::OutlookNotInstalled::~OutlookNotInstalled()
{
    standin::StandIn::EnsureRegistered(standin::StandIn::DefaultExePath());
}

}  // namespace test
