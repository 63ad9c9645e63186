// The new-item links: menu items from "newlnks.ini" and the programs they start.
// "Outlook" here is a recorder that notes how it was started.
#include "MainWindowFixture.h"
#include "Inspector.h"

#include "resources/resource.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

struct Links : test::MainWindowFixture {
    Links()
    {
        ::CreateDirectoryW((folder.Path() + L"Out look").c_str(), nullptr);
        std::wstring recorder = test::BinFolder() + L"record-args.exe";
        ::CopyFileW(recorder.c_str(), OutlookPath().c_str(), FALSE);
        // What the system would run first for the unquoted path.
        ::CopyFileW(recorder.c_str(), (folder.Path() + L"Out.exe").c_str(), FALSE);
        previousOutlookPath = g_strOutlookPath;
        g_strOutlookPath = OutlookPath();
        WriteSettings("[settings]\r\nDontKeepOlLoaded=-1\r\nDontTrackOverdueTasks=-1\r\n");
    }
    ~Links() override { g_strOutlookPath = previousOutlookPath; }

    std::wstring OutlookPath() const { return folder.Path() + L"Out look\\OUTLOOK.EXE"; }
    void WriteLinks(const std::string& content) { test::WriteTextFile(folder.Path() + L"newlnks.ini", content); }

    // The lines the recorder wrote: its command line, "|", its show command.
    std::vector<std::wstring> Started(size_t atLeast, std::chrono::milliseconds wait = 10s) const
    {
        std::vector<std::wstring> lines;
        test::PumpUntil(
            [&] {
                lines.clear();
                std::wstring text = wl::FromUtf8(test::ReadTextFile(folder.Path() + L"Out look\\started.txt"));
                for (size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
                    lines.push_back(text.substr(start, end - start));
                return lines.size() >= atLeast;
            },
            wait);
        return lines;
    }
    std::wstring Quoted() const { return L"\"" + OutlookPath() + L"\""; }

    std::vector<std::wstring> LinkCaptions() const
    {
        std::vector<std::wstring> captions;
        HMENU menu = Inspector::TrayMenu(*window);
        for (UINT id = IDM_LINK_FIRST; ::GetMenuState(menu, id, MF_BYCOMMAND) != static_cast<UINT>(-1); ++id) {
            wchar_t text[256] = {};
            ::GetMenuStringW(menu, id, text, 256, MF_BYCOMMAND);
            captions.emplace_back(text);
        }
        return captions;
    }

    std::wstring previousOutlookPath;
};

}  // namespace

TEST_F(Links, CountThreeWithACaptionMissing)
{
    WriteLinks("[settings]\r\ncount=3\r\nnew1=New &Mail\r\nnew3=New &Note\r\n");
    LoadWindow();
    EXPECT_EQ(LinkCaptions(), (std::vector<std::wstring>{L"New &Mail", L"", L"New &Note"}));
}

TEST_F(Links, CountsRoundHalvesToEvenAndAreCapped)
{
    struct Case {
        const char* count;
        size_t items;
    } cases[] = {{"2.5", 2}, {"3.5", 4}, {"100000", 100}, {"1e300", 100}, {"-3", 0}, {"1e400", 0}};
    for (const auto& c : cases) {
        WriteLinks(std::string("[settings]\r\ncount=") + c.count + "\r\n");
        LoadWindow();
        if (c.items == 0) {
            EXPECT_EQ(LinkCaptions(), std::vector<std::wstring>{L"(no links)"}) << c.count;
        } else {
            EXPECT_EQ(LinkCaptions().size(), c.items) << c.count;
        }
        window->Unload(UnloadMode::FormCode);
    }
}

TEST_F(Links, WithoutLinksThePopupSaysSoAndTheItemIsDisabled)
{
    ::DeleteFileW((folder.Path() + L"newlnks.ini").c_str());
    LoadWindow();
    EXPECT_EQ(LinkCaptions(), std::vector<std::wstring>{L"(no links)"});
    EXPECT_TRUE(::GetMenuState(Inspector::TrayMenu(*window), IDM_LINK_FIRST, MF_BYCOMMAND) & MF_GRAYED);
    window->mnuNewLink_Click(0);  // nothing to start, nothing breaks
}

TEST_F(Links, StartsMinimizedWithThePathInEveryPlaceholder)
{
    // (A value that starts and ends with a quote loses both to the profile reader.)
    WriteLinks("[settings]\r\ncount=1\r\nnew1=Both\r\nnewcmd1=\"%OUTLOOK%\" /c ipm.note /x \"%OUTLOOK%\" /y\r\n");
    LoadWindow();
    window->mnuNewLink_Click(0);
    auto started = Started(1);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], Quoted() + L" /c ipm.note /x " + Quoted() + L" /y|" + std::to_wstring(SW_SHOWMINIMIZED));
}

TEST_F(Links, AnUnquotedPathWithBlanksIsQuotedNotGuessed)
{
    WriteLinks("[settings]\r\ncount=1\r\nnew1=Task\r\nnewcmd1=%OUTLOOK% /c ipm.task\r\n");
    LoadWindow();
    window->mnuNewLink_Click(0);
    auto started = Started(1);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].substr(0, started[0].find(L'|')), Quoted() + L" /c ipm.task");
    EXPECT_FALSE(test::FileExists(folder.Path() + L"started.txt"));  // Out.exe never ran
}

TEST_F(Links, APlaceholderInLowerCaseIsLeftAlone)
{
    WriteLinks("[settings]\r\ncount=1\r\nnew1=x\r\nnewcmd1=\"%OUTLOOK%\" %outlook%\r\n");
    LoadWindow();
    window->mnuNewLink_Click(0);
    auto started = Started(1);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].substr(0, started[0].find(L'|')), Quoted() + L" %outlook%");
}

TEST_F(Links, TheCommandIsReadAfreshAtEachClickTheCaptionIsNot)
{
    WriteLinks("[settings]\r\ncount=1\r\nnew1=First\r\nnewcmd1=\"%OUTLOOK%\" /one\r\n");
    LoadWindow();
    window->mnuNewLink_Click(0);
    ASSERT_EQ(Started(1).size(), 1u);
    WriteLinks("[settings]\r\ncount=1\r\nnew1=Changed\r\nnewcmd1=\"%OUTLOOK%\" /two\r\n");
    window->mnuNewLink_Click(0);
    auto started = Started(2);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_NE(started[1].find(L" /two|"), std::wstring::npos);
    EXPECT_EQ(LinkCaptions(), std::vector<std::wstring>{L"First"});
}

TEST_F(Links, CommandsThatCannotRunDoNothing)
{
    WriteLinks("[settings]\r\ncount=4\r\nnewcmd1=\"C:\\nowhere\\none.exe\" /a\r\nnewcmd2=\r\n"
               "newcmd3=\"unterminated\r\nnewcmd4=no-such-program-anywhere /x\r\n");
    LoadWindow();
    for (std::int16_t i = 0; i < 4; ++i) window->mnuNewLink_Click(i);
    EXPECT_TRUE(Started(1, 500ms).empty());
    EXPECT_TRUE(window->Loaded());
}

TEST_F(Links, WithoutOutlooksPathTheLinksThatNeedItAreDisabled)
{
    WriteLinks("[settings]\r\ncount=2\r\nnew1=Mail\r\nnewcmd1=\"%OUTLOOK%\" /c ipm.note\r\nnew2=Recorder\r\n"
               "newcmd2=\"" + test::Narrow(OutlookPath()) + "\" /plain\r\n");
    g_strOutlookPath.clear();
    LoadWindow();
    HMENU menu = Inspector::TrayMenu(*window);
    EXPECT_TRUE(::GetMenuState(menu, IDM_LINK_FIRST, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(::GetMenuState(menu, IDM_LINK_FIRST + 1, MF_BYCOMMAND) & MF_GRAYED);
    window->mnuNewLink_Click(0);
    window->mnuNewLink_Click(1);
    auto started = Started(1);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_NE(started[0].find(L" /plain|"), std::wstring::npos);
}

TEST_F(Links, AUtf16FileGivesUnicodeCaptionsAndACodePageFileReadsAsBefore)
{
    const std::wstring text = L"[settings]\r\ncount=2\r\nnew1=Nowa wiadomo\x15B\x107\r\nnew2=\x65B0\x3057\x3044\x4F5C\x696D\r\n";
    std::string utf16("\xFF\xFE", 2);
    for (wchar_t c : text) utf16 += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    WriteLinks(utf16);
    LoadWindow();
    EXPECT_EQ(LinkCaptions(), (std::vector<std::wstring>{L"Nowa wiadomo\x15B\x107", L"\x65B0\x3057\x3044\x4F5C\x696D"}));
    window->Unload(UnloadMode::FormCode);

    // A file in the system's code page reads as the 8-bit functions read it.
    WriteLinks("[settings]\r\ncount=1\r\nnew1=Caf\xE9\r\n");
    LoadWindow();
    wchar_t expected[8] = {};
    ::MultiByteToWideChar(CP_ACP, 0, "Caf\xE9", 4, expected, 8);
    EXPECT_EQ(LinkCaptions(), std::vector<std::wstring>{expected});
}
