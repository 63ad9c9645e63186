// The real wendlock.exe, started as a user starts it: one copy per session,
// the settings file named after the exe, the icon, and the logoff clean-up.
#include "ProgramFixture.h"

#include "core/Settings.h"

#include <gtest/gtest.h>

using standin::HasLine;
using test::ProgramFixture;

namespace {

struct Program : ProgramFixture {};

}  // namespace

TEST_F(Program, RunsConnectedAndSavesItsSettingsAtLogoff)
{
    StartStandIn();
    auto app = Start(L"wendlock.exe");
    ASSERT_TRUE(app.WaitForIcon()) << "no tray icon";
    EXPECT_TRUE(test::PumpUntil([&] { return HasLine(standin.Journal(), "GetDefaultFolder(6)"); }));

    // A second copy ends at once and touches nothing.
    auto second = Start(L"wendlock.exe");
    EXPECT_TRUE(second.WaitForExit(std::chrono::seconds(10)));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(app.Running());
    EXPECT_FALSE(test::FileExists(Folder() + L"wendlock.ini"));

    TrayIcon icon = app.TrayBox();
    app.EndSession();
    EXPECT_TRUE(app.WaitForExit(std::chrono::seconds(10)));
    EXPECT_FALSE(test::ShellHasIcon(icon));
    std::string settings = test::ReadTextFile(Folder() + L"wendlock.ini");
    for (const char* key : {"DontKeepOlLoaded=0", "KeepWordLoaded=0", "StartOutlookIn=0", "DontTrackReminders=0",
                            "DontTrackOverdueTasks=0"})
        EXPECT_NE(settings.find(key), std::string::npos) << key << "\n" << settings;
    EXPECT_TRUE(HasLine(standin.Journal(), "Release Application"));
}

TEST_F(Program, RestartManagerClosingItForAnInstallerEndsItWithItsSettingsSaved)
{
    test::WriteTextFile(Folder() + L"wendlock.ini", "[settings]\r\nStartOutlookIn=13\r\n");
    StartStandIn();
    auto app = Start(L"wendlock.exe");
    ASSERT_TRUE(app.WaitForIcon()) << "no tray icon";
    TrayIcon icon = app.TrayBox();
    EXPECT_TRUE(app.EndSession(ENDSESSION_CLOSEAPP));  // may be closed
    ASSERT_TRUE(app.WaitForExit(std::chrono::seconds(10))) << "Restart Manager waits for the process to end";
    EXPECT_EQ(app.ExitCode(), 0u);
    EXPECT_FALSE(test::ShellHasIcon(icon));
    std::string settings = test::ReadTextFile(Folder() + L"wendlock.ini");
    EXPECT_NE(settings.find("StartOutlookIn=13"), std::string::npos) << settings;
    EXPECT_NE(settings.find("DontTrackOverdueTasks=0"), std::string::npos) << settings;
}

TEST_F(Program, ARenamedCopyReadsTheSettingsFileOfItsName)
{
    test::WriteTextFile(Folder() + L"Outlook Helper.ini", "[settings]\r\nDontKeepOlLoaded=-1\r\nStartOutlookIn=13\r\n");
    StartStandIn();
    auto app = Start(L"Outlook Helper.exe");
    ASSERT_TRUE(app.WaitForIcon());
    app.EndStartUpDelay();
    EXPECT_FALSE(HasLine(standin.Journal(), "CreateObject"));  // keep-loaded off: no connection
    app.EndSession();
    ASSERT_TRUE(app.WaitForExit(std::chrono::seconds(10)));
    std::string settings = test::ReadTextFile(Folder() + L"Outlook Helper.ini");
    EXPECT_NE(settings.find("DontKeepOlLoaded=-1"), std::string::npos) << settings;
    EXPECT_NE(settings.find("StartOutlookIn=13"), std::string::npos) << settings;
    EXPECT_FALSE(test::FileExists(Folder() + L"wendlock.ini"));
}

TEST_F(Program, DamagedSettingsAndLinksStillGiveARunningProgram)
{
    test::WriteTextFile(Folder() + L"wendlock.ini",
                        "[settings]\r\nDontKeepOlLoaded=1e300\r\nKeepWordLoaded=&HFFFFFFFFFF\r\nStartOutlookIn=-1e300\r\n"
                        "DontTrackReminders=nonsense\r\nLoadDelay=1e300\r\nDisplayOutlookAtStart=" +
                            std::string(5000, '9') + "\r\n\x01\xff\xfe garbage \x7f\r\n");
    test::WriteTextFile(Folder() + L"newlnks.ini", "[settings]\r\ncount=100000\r\nnew1=\xff\xfe\r\nnewcmd1=\x01\r\n");
    StartStandIn();
    auto app = Start(L"wendlock.exe");
    ASSERT_TRUE(app.WaitForIcon(std::chrono::seconds(20)));
    app.EndSession();
    EXPECT_TRUE(app.WaitForExit(std::chrono::seconds(10)));
    EXPECT_EQ(app.ExitCode(), 0u);
}

TEST_F(Program, DuringTheStartUpDelayTheIconIsThereAndALogoffEndsItAtOnce)
{
    test::WriteTextFile(Folder() + L"wendlock.ini", "[settings]\r\nLoadDelay=60000\r\nStartOutlookIn=9\r\n");
    StartStandIn();
    auto app = Start(L"wendlock.exe");
    ASSERT_TRUE(app.WaitForIcon()) << "no icon during the delay";
    EXPECT_FALSE(HasLine(standin.Journal(), "CreateObject"));  // still waiting

    auto asked = std::chrono::steady_clock::now();
    app.EndSession();
    ASSERT_TRUE(app.WaitForExit(std::chrono::seconds(5)));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(1));
    std::string settings = test::ReadTextFile(Folder() + L"wendlock.ini");
    EXPECT_NE(settings.find("StartOutlookIn=9"), std::string::npos) << settings;
    EXPECT_NE(settings.find("DontTrackOverdueTasks=0"), std::string::npos) << settings;
}

TEST_F(Program, InAFolderTheUserCannotWriteTheSettingsLiveInTheUsersProfile)
{
    // Made read-only by the test command (a standard user's Program Files).
    wchar_t readOnly[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"WENDLOCK_READONLY_FOLDER", readOnly, MAX_PATH))
        GTEST_SKIP() << "no read-only program folder on this machine (see scripts/test.sh)";
    const std::wstring folder = readOnly, exe = folder + L"Wendlock RO.exe";
    ASSERT_FALSE(FolderIsWritable(folder));
    const std::wstring settings = PerUserFolder() + L"Wendlock RO.ini", links = PerUserFolder() + L"newlnks.ini";
    ::DeleteFileW(settings.c_str());
    ::DeleteFileW(links.c_str());

    StartStandIn();
    {
        auto app = StartAt(exe);
        ASSERT_TRUE(app.WaitForIcon());
        EXPECT_TRUE(test::PumpUntil([&] { return HasLine(standin.Journal(), "GetDefaultFolder(6)"); }));
        app.EndSession();
        ASSERT_TRUE(app.WaitForExit(std::chrono::seconds(10)));
    }
    std::string saved = test::ReadTextFile(settings);
    EXPECT_NE(saved.find("DontKeepOlLoaded=0"), std::string::npos) << saved;
    EXPECT_FALSE(test::FileExists(folder + L"Wendlock RO.ini"));
    // The user's links file, to edit, beside the settings.
    EXPECT_EQ(test::ReadTextFile(links), test::ReadTextFile(folder + L"newlnks.example.ini"));

    // The next start takes its settings from there: keep-loaded off, no connection.
    test::WriteTextFile(settings, "[settings]\r\nDontKeepOlLoaded=-1\r\n");
    standin.ClearJournal();
    {
        auto app = StartAt(exe);
        ASSERT_TRUE(app.WaitForIcon());
        app.EndStartUpDelay();
        EXPECT_FALSE(HasLine(standin.Journal(), "CreateObject"));
        app.EndSession();
        ASSERT_TRUE(app.WaitForExit(std::chrono::seconds(10)));
    }
    EXPECT_NE(test::ReadTextFile(settings).find("DontKeepOlLoaded=-1"), std::string::npos);
    ::DeleteFileW(settings.c_str());
    ::DeleteFileW(links.c_str());
}

TEST_F(Program, RunsFromAFolderNamedOutsideTheCodePage)
{
    const std::wstring folder = Folder() + L"\x141\xF3" L"d\x17A \x6771\x4EAC\\";  // "Łódź 東京"
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    for (const wchar_t* file : {L"olico.ico", L"olicod.ico", L"bell.ico", L"task.ico", L"newlnks.example.ini"})
        ::CopyFileW((test::BinFolder() + file).c_str(), (folder + file).c_str(), FALSE);
    ::CopyFileW((test::BinFolder() + L"wendlock.exe").c_str(), (folder + L"wendlock.exe").c_str(), FALSE);
    StartStandIn();
    auto app = StartAt(folder + L"wendlock.exe");
    ASSERT_TRUE(app.WaitForIcon());
    EXPECT_TRUE(test::PumpUntil([&] { return HasLine(standin.Journal(), "GetDefaultFolder(6)"); }));
    app.EndSession();
    ASSERT_TRUE(app.WaitForExit(std::chrono::seconds(10)));
    EXPECT_NE(test::ReadTextFile(folder + L"wendlock.ini").find("DontTrackOverdueTasks=0"), std::string::npos);
}
