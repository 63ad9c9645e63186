#include "mainwindow/LinkCommand.h"

#include <gtest/gtest.h>

using namespace wl;

TEST(LinkCount, RoundsHalvesToEvenAndCaps)
{
    EXPECT_EQ(LinkCount(L"3"), 3);
    EXPECT_EQ(LinkCount(L"2.5"), 2);
    EXPECT_EQ(LinkCount(L"3.5"), 4);
    EXPECT_EQ(LinkCount(L""), 0);
    EXPECT_EQ(LinkCount(L"none"), 0);
    EXPECT_EQ(LinkCount(L"-4"), 0);
    EXPECT_EQ(LinkCount(L"100"), 100);
    EXPECT_EQ(LinkCount(L"101"), kMaxLinks);
    EXPECT_EQ(LinkCount(L"100000"), kMaxLinks);  // beyond 16 bits: still a damaged file
    EXPECT_EQ(LinkCount(L"32767"), kMaxLinks);
    EXPECT_EQ(LinkCount(L"1e300"), kMaxLinks);
    EXPECT_EQ(LinkCount(L"1e400"), 0);  // no number at all
    EXPECT_EQ(LinkCount(L"0.5"), 0);
}

TEST(ExpandLinkCommand, ReplacesEveryPlaceholderCaseSensitively)
{
    EXPECT_EQ(ExpandLinkCommand(L"%OUTLOOK% /c ipm.note", L"C:\\Office\\OUTLOOK.EXE"),
              L"C:\\Office\\OUTLOOK.EXE /c ipm.note");
    EXPECT_EQ(ExpandLinkCommand(L"%OUTLOOK% /a %OUTLOOK%", L"X"), L"X /a X");
    EXPECT_EQ(ExpandLinkCommand(L"%outlook% /c ipm.note", L"X"), L"%outlook% /c ipm.note");
    EXPECT_EQ(ExpandLinkCommand(L"%OUTLOOK%%OUTLOOK%", L"ab"), L"abab");
    EXPECT_EQ(ExpandLinkCommand(L"%OUTLOOK", L"X"), L"%OUTLOOK");
    EXPECT_EQ(ExpandLinkCommand(L"%OUTLOOK% /c ipm.note", L""), L" /c ipm.note");
    // A path that holds the placeholder text itself is not expanded again.
    EXPECT_EQ(ExpandLinkCommand(L"%OUTLOOK%", L"%OUTLOOK%"), L"%OUTLOOK%");
}

TEST(ExpandLinkCommand, QuotesAPathWithBlanksOnlyWhereItStandsUnquoted)
{
    const wchar_t* path = L"C:\\Program Files\\Microsoft Office\\OUTLOOK.EXE";
    EXPECT_EQ(ExpandLinkCommand(L"%OUTLOOK% /c ipm.note", path),
              L"\"C:\\Program Files\\Microsoft Office\\OUTLOOK.EXE\" /c ipm.note");
    EXPECT_EQ(ExpandLinkCommand(L"\"%OUTLOOK%\" /c ipm.task", path),
              L"\"C:\\Program Files\\Microsoft Office\\OUTLOOK.EXE\" /c ipm.task");
    EXPECT_EQ(ExpandLinkCommand(L"run.exe \"/p:%OUTLOOK%\" %OUTLOOK%", L"C:\\A B\\o.exe"),
              L"run.exe \"/p:C:\\A B\\o.exe\" \"C:\\A B\\o.exe\"");
    EXPECT_EQ(ExpandLinkCommand(L"%OUTLOOK%", L"\"C:\\A B\\o.exe\""), L"\"C:\\A B\\o.exe\"");
}

TEST(SplitCommandLine, FindsTheProgramAndItsArguments)
{
    auto quoted = SplitCommandLine(L"  \"C:\\A B\\o.exe\"   /c ipm.note");
    EXPECT_TRUE(quoted.quoted);
    EXPECT_EQ(quoted.program, L"C:\\A B\\o.exe");
    EXPECT_EQ(quoted.arguments, L"/c ipm.note");

    auto plain = SplitCommandLine(L"notepad.exe c:\\x.txt");
    EXPECT_FALSE(plain.quoted);
    EXPECT_EQ(plain.program, L"notepad.exe");
    EXPECT_EQ(plain.arguments, L"c:\\x.txt");

    auto unterminated = SplitCommandLine(L"\"C:\\A B\\o.exe");
    EXPECT_EQ(unterminated.program, L"C:\\A B\\o.exe");
    EXPECT_EQ(unterminated.arguments, L"");

    EXPECT_EQ(SplitCommandLine(L"   ").program, L"");
    EXPECT_EQ(SplitCommandLine(L"\"\" x").program, L"");
}

TEST(SplitCommandLine, RefusesWhatTheSystemWouldHaveToGuess)
{
    EXPECT_FALSE(IsUnambiguousProgram(SplitCommandLine(L"C:\\Program Files\\Office\\OUTLOOK.EXE /c ipm.note")));
    EXPECT_FALSE(IsUnambiguousProgram(SplitCommandLine(L"C:\\Tools\\run")));
    EXPECT_FALSE(IsUnambiguousProgram(SplitCommandLine(L"")));
    EXPECT_FALSE(IsUnambiguousProgram(SplitCommandLine(L"\"\"")));
    EXPECT_TRUE(IsUnambiguousProgram(SplitCommandLine(L"\"C:\\Program Files\\Office\\OUTLOOK.EXE\" /c ipm.note")));
    EXPECT_TRUE(IsUnambiguousProgram(SplitCommandLine(L"C:\\Office\\OUTLOOK.EXE /c ipm.note")));
    EXPECT_TRUE(IsUnambiguousProgram(SplitCommandLine(L"notepad")));
    EXPECT_TRUE(IsUnambiguousProgram(SplitCommandLine(L"notepad.exe x")));
}
