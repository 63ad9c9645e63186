#include "core/MeetingLink.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace wl;

namespace {

struct Case {
    const wchar_t* what;
    const wchar_t* text;
    const wchar_t* link;  // the join link found; nullptr: none
};

constexpr const wchar_t* kTeams =
    L"https://teams.microsoft.com/l/meetup-join/19%3ameeting_NjQ4%40thread.v2/0?context=%7b%22Tid%22%3a%2272f9%22%7d";

const Case kCases[] = {
    // Each service, as its invitations write the link.
    {L"Teams", kTeams, kTeams},
    {L"Teams meet", L"https://teams.microsoft.com/meet/2517?p=x7Y", L"https://teams.microsoft.com/meet/2517?p=x7Y"},
    {L"Teams free", L"https://teams.live.com/meet/9384", L"https://teams.live.com/meet/9384"},
    {L"Zoom", L"https://us02web.zoom.us/j/8512?pwd=aBc", L"https://us02web.zoom.us/j/8512?pwd=aBc"},
    {L"Zoom personal", L"https://acme.zoom.us/my/jdoe", L"https://acme.zoom.us/my/jdoe"},
    {L"Zoom webinar", L"https://acme.zoom.us/w/123", L"https://acme.zoom.us/w/123"},
    {L"Meet", L"https://meet.google.com/abc-defg-hij", L"https://meet.google.com/abc-defg-hij"},
    {L"Webex room", L"https://acme.webex.com/meet/jdoe", L"https://acme.webex.com/meet/jdoe"},
    {L"Webex meeting", L"https://acme.webex.com/acme/j.php?MTID=m1f", L"https://acme.webex.com/acme/j.php?MTID=m1f"},
    {L"Webex join", L"https://acme.webex.com/join/jdoe", L"https://acme.webex.com/join/jdoe"},
    {L"GoTo", L"https://meet.goto.com/123456789", L"https://meet.goto.com/123456789"},
    {L"host in capitals", L"HTTPS://Meet.Google.com/abc-defg-hij", L"HTTPS://Meet.Google.com/abc-defg-hij"},

    // Where links stand in a text: the first join link counts; the sentence
    // around it and the brackets Outlook puts around it are not part of it.
    {L"in a location", L"Room 4 / https://meet.google.com/abc-defg-hij", L"https://meet.google.com/abc-defg-hij"},
    {L"in angle brackets", L"Join: <https://teams.live.com/meet/9384>\r\nMore", L"https://teams.live.com/meet/9384"},
    {L"in quotes", L"href=\"https://teams.live.com/meet/9384\"", L"https://teams.live.com/meet/9384"},
    {L"end of a sentence", L"Join at https://acme.zoom.us/j/8512.", L"https://acme.zoom.us/j/8512"},
    {L"in parentheses", L"(https://acme.zoom.us/j/8512), then", L"https://acme.zoom.us/j/8512"},
    {L"after other links", L"https://example.com/x https://intranet/a https://meet.goto.com/1",
     L"https://meet.goto.com/1"},
    {L"first of two", L"https://meet.goto.com/1 https://acme.zoom.us/j/2", L"https://meet.goto.com/1"},
    {L"next line", L"https://meet.goto.com/1\nx", L"https://meet.goto.com/1"},
    {L"no link", L"Conference room 4", nullptr},
    {L"empty", L"", nullptr},
    {L"scheme alone", L"https://", nullptr},

    // Safe Links: unwrapped once, and only to a join link.
    {L"Safe Links", L"https://eur01.safelinks.protection.outlook.com/?url=https%3A%2F%2Fmeet.google.com%2Fabc-defg-hij&data=05%7C01&reserved=0",
     L"https://meet.google.com/abc-defg-hij"},
    {L"Safe Links decoded once",
     L"<https://nam12.safelinks.protection.outlook.com/?url=https%3A%2F%2Fteams.microsoft.com%2Fl%2Fmeetup-join%2F19%253ameeting_N%2540thread.v2%2F0&data=1>",
     L"https://teams.microsoft.com/l/meetup-join/19%3ameeting_N%40thread.v2/0"},
    {L"Safe Links url not first", L"https://eur01.safelinks.protection.outlook.com/?data=1&url=https%3A%2F%2Fmeet.goto.com%2F7",
     L"https://meet.goto.com/7"},
    {L"Safe Links of another host", L"https://eur01.safelinks.protection.outlook.com/?url=https%3A%2F%2Fexample.com%2Fj%2F1",
     nullptr},
    {L"Safe Links of http", L"https://eur01.safelinks.protection.outlook.com/?url=http%3A%2F%2Fmeet.goto.com%2F7", nullptr},
    {L"Safe Links of a file", L"https://eur01.safelinks.protection.outlook.com/?url=file%3A%2F%2F%2FC%3A%2Fx.exe", nullptr},
    {L"Safe Links twice",
     L"https://eur01.safelinks.protection.outlook.com/?url=https%3A%2F%2Feur01.safelinks.protection.outlook.com%2F%3Furl%3Dhttps%253A%252F%252Fmeet.goto.com%252F7",
     nullptr},
    {L"Safe Links wrapping a quote", L"https://eur01.safelinks.protection.outlook.com/?url=https%3A%2F%2Fmeet.goto.com%2F7%22%20-x", nullptr},
    {L"Safe Links wrapping a control", L"https://eur01.safelinks.protection.outlook.com/?url=https%3A%2F%2Fmeet.goto.com%2F7%0A", nullptr},
    {L"Safe Links without url", L"https://eur01.safelinks.protection.outlook.com/?data=1", nullptr},
    {L"Safe Links of another domain", L"https://eur01.safelinks.protection.outlook.com.evil.io/?url=https%3A%2F%2Fmeet.goto.com%2F7",
     nullptr},
    {L"Safe Links on a path", L"https://eur01.safelinks.protection.outlook.com/r?url=https%3A%2F%2Fmeet.goto.com%2F7", nullptr},

    // Malformed percent-encoding.
    {L"bad escape", L"https://eur01.safelinks.protection.outlook.com/?url=https%3A%2F%2Fmeet.goto.com%2F7%zz", nullptr},
    {L"cut escape", L"https://eur01.safelinks.protection.outlook.com/?url=https%3A%2F%2Fmeet.goto.com%2F7%4", nullptr},
    {L"lone percent", L"https://eur01.safelinks.protection.outlook.com/?url=https%3A%2F%2Fmeet.goto.com%2F7%", nullptr},
    {L"escape beyond ASCII", L"https://eur01.safelinks.protection.outlook.com/?url=https%3A%2F%2Fmeet.goto.com%2F%C3%A9", nullptr},
    {L"escape in a service link stays", L"https://meet.goto.com/%zz", L"https://meet.goto.com/%zz"},

    // Never opened: other schemes, other hosts, hosts that only look alike.
    {L"http", L"http://meet.google.com/abc-defg-hij", nullptr},
    {L"file", L"file:///C:/Windows/System32/calc.exe", nullptr},
    {L"UNC", L"\\\\server\\share\\teams.microsoft.com\\l\\meetup-join\\x.exe", nullptr},
    {L"javascript", L"javascript:alert(1)//https://meet.goto.com/1", L"https://meet.goto.com/1"},
    {L"data", L"data:text/html,<script>x</script>", nullptr},
    {L"ms-settings", L"ms-settings:display", nullptr},
    {L"another host", L"https://example.com/l/meetup-join/1", nullptr},
    {L"look-alike suffix", L"https://teams.microsoft.com.evil.io/l/meetup-join/1", nullptr},
    {L"look-alike prefix", L"https://evilteams.microsoft.com/l/meetup-join/1", nullptr},
    {L"zoom look-alike", L"https://acme.zoom.us.evil.io/j/1", nullptr},
    {L"zoom two labels", L"https://a.b.zoom.us/j/1", nullptr},
    {L"user name", L"https://meet.goto.com@evil.io/1", nullptr},
    {L"user name before", L"https://x@meet.goto.com/1", nullptr},
    {L"port", L"https://meet.goto.com:8443/1", nullptr},
    {L"backslash", L"https://evil.io\\@meet.goto.com/1", nullptr},
    {L"encoded host", L"https://meet%2Egoto.com/1", nullptr},
    {L"trailing dot host", L"https://meet.goto.com./1", nullptr},
    {L"not a join path", L"https://teams.microsoft.com/_#/calendarv2", nullptr},
    {L"join path alone", L"https://teams.microsoft.com/l/meetup-join/", nullptr},
    {L"Meet without a code", L"https://meet.google.com/landing", nullptr},
    {L"Meet with more", L"https://meet.google.com/abc-defg-hij/x", nullptr},
    {L"Webex home", L"https://acme.webex.com/webappng/sites/acme/dashboard", nullptr},
    {L"GoTo home", L"https://meet.goto.com/", nullptr},
    {L"non-ASCII host", L"https://meet.g\u043Eogle.com/abc-defg-hij", nullptr},
};

}  // namespace

TEST(MeetingLink, FindsTheJoinLinksOfTheKnownServicesOnly)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::wstring(c.what));
        const auto found = FindMeetingLink(c.text);
        if (c.link == nullptr) {
            EXPECT_EQ(found, std::nullopt);
        } else {
            ASSERT_TRUE(found.has_value());
            EXPECT_EQ(*found, c.link);
            // What the finder gives the check before the shell takes again.
            EXPECT_TRUE(IsMeetingLink(*found));
        }
    }
}

TEST(MeetingLink, TheCheckBeforeOpeningTakesOnlyAWholeJoinLink)
{
    EXPECT_TRUE(IsMeetingLink(L"https://meet.google.com/abc-defg-hij"));
    EXPECT_FALSE(IsMeetingLink(L" https://meet.google.com/abc-defg-hij"));
    EXPECT_FALSE(IsMeetingLink(L"https://meet.google.com/abc-defg-hij x"));
    EXPECT_FALSE(IsMeetingLink(L"https://meet.goto.com/1\" --disable-web-security"));
    EXPECT_FALSE(IsMeetingLink(L"https://eur01.safelinks.protection.outlook.com/?url=https%3A%2F%2Fmeet.goto.com%2F7"));
    EXPECT_FALSE(IsMeetingLink(std::wstring(L"https://meet.goto.com/1\0x", 25)));
    EXPECT_TRUE(IsMeetingLink(L"https://meet.goto.com/" + std::wstring(kMaxMeetingLinkLength - 22, L'1')));
    EXPECT_FALSE(IsMeetingLink(L"https://meet.goto.com/" + std::wstring(kMaxMeetingLinkLength - 21, L'1')));

    EXPECT_EQ(MeetingLinkHost(L"HTTPS://Acme.Zoom.US/j/1"), L"acme.zoom.us");
    EXPECT_EQ(MeetingLinkHost(L"https://example.com/j/1"), L"");
}

TEST(MeetingLink, AFiveMegabyteBodyIsReadToItsEnd)
{
    std::wstring body(5u << 20, L'h');
    for (std::size_t i = 0; i < body.size(); i += 1000) body.replace(i, 8, L"https://");
    body += L" https://meet.google.com/abc-defg-hij";
    EXPECT_EQ(FindMeetingLink(body), L"https://meet.google.com/abc-defg-hij");
    body.resize(body.size() - 2);
    EXPECT_EQ(FindMeetingLink(body), std::nullopt);
}
