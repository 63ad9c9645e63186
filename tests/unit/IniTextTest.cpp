#include "core/IniText.h"

#include <gtest/gtest.h>

#include <string>

using namespace wl;
using namespace std::string_literals;

namespace {

const std::string kBom = "\xEF\xBB\xBF";
// "Nowa wiadomość" and "新しい" in UTF-8.
const std::string kPolish = "Nowa wiadomo\xC5\x9B\xC4\x87";
const std::string kJapanese = "\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84";

}  // namespace

TEST(IniEncoding, AByteOrderMarkDecides)
{
    EXPECT_EQ(IniEncodingOf(kBom + "[settings]\r\ncount=1\r\n"), IniEncoding::Utf8);
    EXPECT_EQ(IniEncodingOf(kBom + "new1=Caf\xE9\r\n"), IniEncoding::Utf8);  // what follows is not asked
    EXPECT_EQ(IniEncodingOf(kBom), IniEncoding::Utf8);
    EXPECT_EQ(IniEncodingOf("\xFF\xFE[\0s\0"s), IniEncoding::System);
    EXPECT_EQ(IniEncodingOf("\xFF\xFE" + kPolish), IniEncoding::System);
}

TEST(IniEncoding, WithoutAMarkOnlyValidUtf8BeyondAsciiIsUtf8)
{
    EXPECT_EQ(IniEncodingOf("[settings]\r\nnew1=" + kPolish + "\r\n"), IniEncoding::Utf8);
    EXPECT_EQ(IniEncodingOf("new1=" + kJapanese), IniEncoding::Utf8);
    EXPECT_EQ(IniEncodingOf("new1=\xF0\x9F\x93\xA7"), IniEncoding::Utf8);  // beyond U+FFFF

    // ASCII reads the same either way: the profile functions keep it.
    EXPECT_EQ(IniEncodingOf(""), IniEncoding::System);
    EXPECT_EQ(IniEncodingOf("[settings]\r\ncount=5\r\n"), IniEncoding::System);

    // 8-bit code pages: Western, Central European, Shift-JIS.
    EXPECT_EQ(IniEncodingOf("new1=Caf\xE9 M\xFCller\r\n"), IniEncoding::System);
    EXPECT_EQ(IniEncodingOf("new1=Nowa wiadomo\x9C\xE6\r\n"), IniEncoding::System);
    EXPECT_EQ(IniEncodingOf("new1=\x90\x56\x82\xB5\x82\xA2\r\n"), IniEncoding::System);

    // UTF-8 in form only: overlong, a surrogate, beyond U+10FFFF, cut short, a lone continuation.
    for (const char* bad : {"\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF0\x80\x80\xAF", "\xF4\x90\x80\x80",
                            "\xF5\x80\x80\x80", "\xE6\x96", "\x80", "\xFE"})
        EXPECT_EQ(IniEncodingOf(kPolish + " " + bad), IniEncoding::System) << testing::PrintToString(bad);
}

TEST(IniValueFromUtf8, FindsTheValueAsTheProfileFunctionsDo)
{
    struct Case {
        std::string file;
        const wchar_t* key;
        std::wstring value;
    } cases[] = {
        // The byte-order mark hides nothing.
        {kBom + "[settings]\r\ncount=2\r\n", L"count", L"2"},
        {"[Settings]\ncOUNT = 3 \n", L"count", L"3"},
        {"  [settings]  \r\n\t count \t=\t 4 \t\x1A\r\n", L"count", L"4"},
        {"[settings] trailing words\r\ncount=5\r\n", L"count", L"5"},
        {"[ settings\t]\rcount=6\r", L"count", L"6"},
        {"[settings]\r\nnew1=a = b\r\n", L"new1", L"a = b"},
        {"[settings]\r\nnew1=\r\n", L"new1", L""},
        // Quotes: a matching pair goes, anything else stays.
        {"[settings]\r\nnewcmd1=  \"C:\\x y\\a.exe\"  \r\n", L"newcmd1", L"C:\\x y\\a.exe"},
        {"[settings]\r\nnewcmd1='single'\r\n", L"newcmd1", L"single"},
        {"[settings]\r\nnewcmd1=\"C:\\a.exe\" /c \"x\"\r\n", L"newcmd1", L"C:\\a.exe\" /c \"x"},
        {"[settings]\r\nnewcmd1=\"C:\\a.exe\" /c\r\n", L"newcmd1", L"\"C:\\a.exe\" /c"},
        {"[settings]\r\nnewcmd1=\"\r\n", L"newcmd1", L"\""},
        {"[settings]\r\nnewcmd1=\"x'\r\n", L"newcmd1", L"\"x'"},
        // The first line of a key wins, even one without "=".
        {"[settings]\r\ncount=1\r\ncount=2\r\n", L"count", L"1"},
        {"[settings]\r\ncount\r\ncount=2\r\n", L"count", L""},
        // Only the first section of the name; nothing before a header; comments.
        {"[settings]\r\nnew1=x\r\n[other]\r\ncount=9\r\n[settings]\r\ncount=2\r\n", L"count", L""},
        {"count=4\r\n[other]\r\ncount=5\r\n", L"count", L""},
        {"[settings\r\ncount=6\r\n", L"count", L""},
        {"[settings]\r\n;count=5\r\n ; count=6\r\ncount=7\r\n", L"count", L"7"},
        {"[settings]\r\nnew10=ten\r\nnew1=one\r\n", L"new1", L"one"},
        // Characters: Polish, Japanese, beyond U+FFFF, a byte that is no UTF-8, a NUL.
        {"[settings]\r\nnew1=" + kPolish + "\r\n", L"new1", L"Nowa wiadomo\x15B\x107"},
        {"[settings]\r\nnew1=" + kJapanese + "\r\n", L"new1", L"\x65B0\x3057\x3044"},
        {"[settings]\r\nnew1=\xF0\x9F\x93\xA7 Mail\r\n", L"new1", L"\U0001F4E7 Mail"},
        {"[settings]\r\nnew1=Caf\xE9!\r\n", L"new1", L"Caf\xFFFD!"},
        {"[settings]\r\ncount=8\0junk\r\n"s, L"count", L"8"},
        {"", L"count", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IniValueFromUtf8(c.file, L"settings", c.key), c.value) << testing::PrintToString(c.file);

    // The names asked for are trimmed too; an empty key is never found.
    EXPECT_EQ(IniValueFromUtf8("[settings]\r\ncount=1\r\n", L" settings ", L" count "), L"1");
    EXPECT_EQ(IniValueFromUtf8("[settings]\r\n=1\r\n", L"settings", L""), L"");
}

namespace {

// The text in UTF-16 big-endian, as Notepad's "UTF-16 BE" saves it.
std::string Utf16Be(std::u16string_view text, bool mark = true)
{
    std::string bytes = mark ? "\xFE\xFF" : "";
    for (char16_t c : text) {
        bytes += static_cast<char>(c >> 8);
        bytes += static_cast<char>(c & 0xFF);
    }
    return bytes;
}

}  // namespace

// Handed to the profile functions, a big-endian file would read as ANSI
// garbage: no links at all. It is read here instead, like UTF-8.
TEST(IniEncoding, Utf16BigEndianIsReadHere)
{
    EXPECT_EQ(IniEncodingOf(Utf16Be(u"[settings]\r\ncount=1\r\n")), IniEncoding::Utf16Be);
    EXPECT_EQ(IniEncodingOf(Utf16Be(u"")), IniEncoding::Utf16Be);
    // Without its mark it is nothing the program can tell from the code page.
    EXPECT_EQ(IniEncodingOf(Utf16Be(u"[settings]\r\n", false)), IniEncoding::System);

    const std::string file = Utf16Be(u"[Settings]\r\ncount=2\r\nnew1= Nowa wiadomo\u015B\u0107 \r\n"
                                     u"new2=\u65B0\u3057\u3044 \U0001F4E7\r\nnewcmd2=\"C:\\a b\\x.exe\" /c\r\n");
    EXPECT_EQ(IniValueFromUtf16Be(file, L"settings", L"count"), L"2");
    EXPECT_EQ(IniValueFromUtf16Be(file, L"settings", L"new1"), L"Nowa wiadomo\x15B\x107");
    EXPECT_EQ(IniValueFromUtf16Be(file, L"settings", L"new2"), L"\x65B0\x3057\x3044 \U0001F4E7");
    EXPECT_EQ(IniValueFromUtf16Be(file, L"settings", L"newcmd2"), L"\"C:\\a b\\x.exe\" /c");
    EXPECT_EQ(IniValueFromUtf16Be(file, L"other", L"count"), L"");
    // A surrogate without its pair reads as U+FFFD; an odd last byte goes.
    EXPECT_EQ(IniValueFromUtf16Be(Utf16Be(u"[settings]\r\nnew1=a\xD800" u"b\r\n") + "\x00"s, L"settings", L"new1"),
              L"a\xFFFD" L"b");
    EXPECT_EQ(IniValueFromUtf16Be(Utf16Be(u"[settings]\r\nnew1=x"), L"settings", L"new1"), L"x");
}
