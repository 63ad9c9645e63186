// Texts cut and trimmed to fit (CutText, TrimAtNull, TrimSpaces),
// the Options dialog's delay box (DelayMsFromSecondsText) and DoubleText.
#include "FuzzText.h"
#include "core/Conversions.h"
#include "core/SettingsRules.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>


using namespace wl;

namespace {

// Surrogate pairs exist only where wchar_t holds UTF-16 code units.
constexpr bool kUtf16 = sizeof(wchar_t) == 2;
bool IsHigh(wchar_t c) { return kUtf16 && c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(wchar_t c) { return kUtf16 && c >= 0xDC00 && c <= 0xDFFF; }
bool SplitsPair(std::wstring_view text, std::size_t at)
{
    return at > 0 && at < text.size() && IsHigh(text[at - 1]) && IsLow(text[at]);
}

// CutText keeps a prefix of maxLen characters, one less where that would split a pair.
std::size_t CheckCut(std::wstring_view text, std::size_t maxLen)
{
    const std::wstring cut = CutText(text, maxLen);
    if (text.size() <= maxLen) {
        CHECK(cut == text);
        return cut.size();
    }
    CHECK(text.substr(0, cut.size()) == cut);
    CHECK(!SplitsPair(text, cut.size()));
    if (SplitsPair(text, maxLen)) CHECK(cut.size() == maxLen - 1);
    else CHECK(cut.size() == maxLen);
    return cut.size();
}

// The lengths worth trying: all of them for a short text, else the ends,
// the places around surrogates, and a spread.
std::vector<long> Lengths(std::wstring_view text)
{
    const long n = static_cast<long>(text.size());
    std::vector<long> lengths;
    if (n <= 48) {
        for (long i = -2; i <= n + 2; ++i) lengths.push_back(i);
        return lengths;
    }
    for (long i : {-1L, 0L, 1L, 2L, n - 2, n - 1, n, n + 1, n + 2}) lengths.push_back(i);
    for (long i = 0; i < n && lengths.size() < 96; ++i)
        if (text[i] >= 0xD800 && text[i] <= 0xDFFF) {
            lengths.push_back(i);
            lengths.push_back(i + 1);
        }
    for (long i = 1; i < 16; ++i) lengths.push_back(n * i / 16);
    return lengths;
}

void CheckTrims(std::wstring_view text)
{
    const std::wstring atNull = TrimAtNull(text);
    CHECK(atNull.find(L'\0') == std::wstring::npos);
    CHECK(text.substr(0, atNull.size()) == atNull);
    CHECK(atNull.size() == text.size() || text[atNull.size()] == L'\0');

    const std::wstring trimmed = TrimSpaces(text);
    const std::size_t lead = text.find_first_not_of(L' ');
    if (lead == std::wstring_view::npos) {
        CHECK(trimmed.empty());
    } else {
        CHECK(!trimmed.empty() && trimmed.front() != L' ' && trimmed.back() != L' ');
        CHECK(text.substr(lead, trimmed.size()) == trimmed);
        // Only spaces go; tabs and the rest stay.
        for (wchar_t c : text.substr(lead + trimmed.size())) CHECK(c == L' ');
    }
    CHECK(TrimSpaces(trimmed) == trimmed);
}

void CheckDelayBox(std::wstring_view text)
{
    // Accepted when start-up would take it: 0 to kMaxLoadDelayMs milliseconds.
    const auto ms = DelayMsFromSecondsText(text);
    const auto seconds = NumberOfText(text);
    const bool inRange = seconds && *seconds * 1000.0 >= 0.0 && *seconds * 1000.0 <= kMaxLoadDelayMs;
    CHECK(ms.has_value() == inRange);
    if (!ms) return;
    CHECK(*ms >= 0.0 && *ms <= kMaxLoadDelayMs);
    CHECK(*ms == *seconds * 1000.0);
    // Stored, it reads back at start-up as the same delay, rounded.
    const std::wstring stored = DoubleText(*ms);
    fuzz::Show(2, "stored", stored);
    auto rounded = RoundToInt32(*ms);
    CHECK(rounded.has_value());
    CHECK(LoadDelayFromKey(stored) == *rounded);
}

void CheckDoubleRoundTrip(double x)
{
    const std::wstring text = DoubleText(x);
    fuzz::Show(3, "DoubleText", text);
    if (!std::isfinite(x)) return;
    CHECK(!text.empty());
    for (wchar_t c : text)
        CHECK((c >= L'0' && c <= L'9') || c == L'.' || c == L'-' || c == L'+' || c == L'e');
    auto back = NumberOfText(text);
    CHECK(back.has_value() && *back == x);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ClearShown();
    const std::wstring text = fuzz::DecodeText(data, size);
    fuzz::Show(0, "text", text);

    for (long maxLen : Lengths(text))
        if (maxLen >= 0) (void)CheckCut(text, static_cast<std::size_t>(maxLen));
    CheckTrims(text);
    CheckDelayBox(text);

    // The raw bytes as doubles, eight at a time.
    for (std::size_t at = 0; at + sizeof(double) <= size && at < 64; at += sizeof(double)) {
        double x;
        std::memcpy(&x, data + at, sizeof x);
        CheckDoubleRoundTrip(x);
    }
    return 0;
}
