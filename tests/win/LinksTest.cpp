// The new-item links: menu items from "newlnks.ini" and the programs they start.
// "Outlook" here is a recorder that notes how it was started.
#include "MainWindowFixture.h"
#include "Inspector.h"

#include "resources/resource.h"

#include <gtest/gtest.h>

#include <algorithm>

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

    // The lines the recorder (in "Out look", or the folder given) wrote: its
    // command line, "|", its show command.
    std::vector<std::wstring> Started(size_t atLeast, std::chrono::milliseconds wait = 10s,
                                      const std::wstring& where = L"Out look\\") const
    {
        std::vector<std::wstring> lines;
        test::PumpUntil(
            [&] {
                lines.clear();
                std::wstring text = wl::FromUtf8(test::ReadTextFile(folder.Path() + where + L"started.txt"));
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
    Inspector::mnuNewLink_Click(*window, 0);  // nothing to start, nothing breaks
}

TEST_F(Links, StartsMinimizedWithThePathInEveryPlaceholder)
{
    // (A value that starts and ends with a quote loses both to the profile reader.)
    WriteLinks("[settings]\r\ncount=1\r\nnew1=Both\r\nnewcmd1=\"%OUTLOOK%\" /c ipm.note /x \"%OUTLOOK%\" /y\r\n");
    LoadWindow();
    Inspector::mnuNewLink_Click(*window, 0);
    auto started = Started(1);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], Quoted() + L" /c ipm.note /x " + Quoted() + L" /y|" + std::to_wstring(SW_SHOWMINIMIZED));
}

TEST_F(Links, AnUnquotedPathWithBlanksIsQuotedNotGuessed)
{
    WriteLinks("[settings]\r\ncount=1\r\nnew1=Task\r\nnewcmd1=%OUTLOOK% /c ipm.task\r\n");
    LoadWindow();
    Inspector::mnuNewLink_Click(*window, 0);
    auto started = Started(1);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].substr(0, started[0].find(L'|')), Quoted() + L" /c ipm.task");
    EXPECT_FALSE(test::FileExists(folder.Path() + L"started.txt"));  // Out.exe never ran
}

TEST_F(Links, APlaceholderInLowerCaseIsLeftAlone)
{
    WriteLinks("[settings]\r\ncount=1\r\nnew1=x\r\nnewcmd1=\"%OUTLOOK%\" %outlook%\r\n");
    LoadWindow();
    Inspector::mnuNewLink_Click(*window, 0);
    auto started = Started(1);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].substr(0, started[0].find(L'|')), Quoted() + L" %outlook%");
}

TEST_F(Links, TheCommandIsReadAfreshAtEachClickTheCaptionIsNot)
{
    WriteLinks("[settings]\r\ncount=1\r\nnew1=First\r\nnewcmd1=\"%OUTLOOK%\" /one\r\n");
    LoadWindow();
    Inspector::mnuNewLink_Click(*window, 0);
    ASSERT_EQ(Started(1).size(), 1u);
    WriteLinks("[settings]\r\ncount=1\r\nnew1=Changed\r\nnewcmd1=\"%OUTLOOK%\" /two\r\n");
    Inspector::mnuNewLink_Click(*window, 0);
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
    for (std::int16_t i = 0; i < 4; ++i) Inspector::mnuNewLink_Click(*window, i);
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
    Inspector::mnuNewLink_Click(*window, 0);
    Inspector::mnuNewLink_Click(*window, 1);
    auto started = Started(1);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_NE(started[0].find(L" /plain|"), std::wstring::npos);
}

// The links file as editors save it: UTF-8 with and without a byte-order
// mark (Notepad's default), UTF-16 (the example's), and the code page.
TEST_F(Links, EveryEncodingAnEditorSavesGivesTheSameLinks)
{
    struct Saved {
        const char* encoding;
        std::wstring caption1, caption2, folder;
    };
    const std::wstring polish = L"Nowa wiadomo\x15B\x107", japanese = L"\x65B0\x3057\x3044\x4F5C\x696D";
    const std::wstring lodzTokyo = L"\x141\xF3" L"d\x17A \x6771\x4EAC";  // "Łódź 東京"
    // What the code page (Wine's here) holds beyond ASCII.
    wchar_t western[8] = {}, westernFolder[8] = {};
    ::MultiByteToWideChar(CP_ACP, 0, "Caf\xE9", 4, western, 8);
    ::MultiByteToWideChar(CP_ACP, 0, "M\xFCller", 6, westernFolder, 8);
    const Saved files[] = {
        {"UTF-8 with BOM", polish, japanese, lodzTokyo},
        {"UTF-8", polish, japanese, lodzTokyo},
        {"UTF-16LE", polish, japanese, lodzTokyo},
        {"ANSI", western, L"Stra\xDF" L"e", westernFolder},
    };
    for (const Saved& saved : files) {
        SCOPED_TRACE(saved.encoding);
        // A folder for each file, so each file's recorder writes its own lines.
        const std::wstring programFolder = saved.folder + L" " + wl::FromUtf8(saved.encoding) + L"\\";
        const std::wstring program = folder.Path() + programFolder + L"recorder.exe";
        ::CreateDirectoryW((folder.Path() + programFolder).c_str(), nullptr);
        ASSERT_TRUE(::CopyFileW((test::BinFolder() + L"record-args.exe").c_str(), program.c_str(), FALSE));
        const std::wstring text = L"[settings]\r\ncount=2\r\nnew1=" + saved.caption1 + L"\r\nnewcmd1=\"" + program +
                                  L"\" /one\r\nnew2=" + saved.caption2 + L"\r\nnewcmd2=\"" + program + L"\" /two\r\n";
        std::string bytes;
        if (saved.encoding == std::string("UTF-16LE")) {
            bytes = "\xFF\xFE";
            for (wchar_t c : text) bytes += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        } else if (saved.encoding == std::string("ANSI")) {
            BOOL lost = FALSE;
            bytes.resize(text.size() * 2);
            bytes.resize(static_cast<size_t>(::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(),
                                                                   static_cast<int>(text.size()), bytes.data(),
                                                                   static_cast<int>(bytes.size()), nullptr, &lost)));
            ASSERT_FALSE(lost) << "the code page holds the texts";
        } else {
            bytes = (saved.encoding == std::string("UTF-8") ? "" : "\xEF\xBB\xBF") + wl::ToUtf8(text);
        }
        WriteLinks(bytes);
        LoadWindow();
        EXPECT_EQ(LinkCaptions(), (std::vector<std::wstring>{saved.caption1, saved.caption2}));
        Inspector::mnuNewLink_Click(*window, 0);
        Inspector::mnuNewLink_Click(*window, 1);
        auto started = Started(2, 10s, programFolder);
        ASSERT_EQ(started.size(), 2u);
        std::sort(started.begin(), started.end());  // the two may finish in either order
        EXPECT_EQ(started[0], L"\"" + program + L"\" /one|" + std::to_wstring(SW_SHOWMINIMIZED));
        EXPECT_EQ(started[1], L"\"" + program + L"\" /two|" + std::to_wstring(SW_SHOWMINIMIZED));
        window->Unload(UnloadMode::FormCode);
    }
}
