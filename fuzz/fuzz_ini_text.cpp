// A links file as an editor saved it: the encoding decision and the UTF-8
// reader. The input is the file's raw bytes.
#include "FuzzText.h"
#include "core/IniText.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using namespace wl;

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// UTF-8 decoded by the ranges of the Unicode standard's table of well-formed
// byte sequences, written apart from the reader's decoder; nullopt when the
// bytes are not well-formed.
std::optional<std::u32string> WellFormed(std::string_view bytes)
{
    std::u32string text;
    for (std::size_t i = 0; i < bytes.size();) {
        auto b = [&](std::size_t k) { return static_cast<std::uint8_t>(bytes[k]); };
        std::size_t n = b(i) < 0x80 ? 1 : b(i) < 0xC2 ? 0 : b(i) < 0xE0 ? 2 : b(i) < 0xF0 ? 3 : b(i) < 0xF5 ? 4 : 0;
        if (n == 0 || i + n > bytes.size()) return std::nullopt;
        char32_t c = n == 1 ? b(i) : b(i) & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            if ((b(i + k) & 0xC0) != 0x80) return std::nullopt;
            c = (c << 6) | (b(i + k) & 0x3F);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < least[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
        text += c;
        i += n;
    }
    return text;
}

std::wstring Wide(std::u32string_view text)
{
    std::wstring wide;
    for (char32_t c : text) {
        if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
            wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(c);
        }
    }
    return wide;
}

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r') || c == 0x1A; }

// What the profile functions give for a value written after "key=": the
// blanks around the line go, the text ends at a NUL (blanks before it stay),
// a matching pair of quotes goes.
std::wstring ExpectedValue(std::wstring v)
{
    std::size_t first = 0, last = v.size();
    while (first < last && IsBlank(v[first])) ++first;
    while (last > first && IsBlank(v[last - 1])) --last;
    v = v.substr(first, last - first);
    v = v.substr(0, v.find(L'\0'));
    if (v.size() >= 2 && (v[0] == L'"' || v[0] == L'\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ClearShown();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The decision: a UTF-8 mark, else well-formed UTF-8 beyond ASCII.
    const auto wellFormed = WellFormed(bytes);
    bool beyondAscii = false;
    for (char c : bytes) beyondAscii = beyondAscii || static_cast<std::uint8_t>(c) >= 0x80;
    const IniEncoding encoding = IniEncodingOf(bytes);
    if (bytes.starts_with(kBom)) CHECK(encoding == IniEncoding::Utf8);
    else if (bytes.starts_with("\xFF\xFE")) CHECK(encoding == IniEncoding::System);
    else if (bytes.starts_with("\xFE\xFF")) CHECK(encoding == IniEncoding::Utf16Be);
    else CHECK((encoding == IniEncoding::Utf8) == (wellFormed && beyondAscii));

    // Whatever the file, a value is one line, no longer than the file, and the
    // names asked for compare without regard to case; the mark changes nothing.
    std::string_view body = bytes.starts_with(kBom) ? bytes.substr(kBom.size()) : bytes;
    for (const wchar_t* key : {L"count", L"new1", L"newcmd1"}) {
        const std::wstring value = IniValueFromUtf8(bytes, L"settings", key);
        fuzz::Show(0, "value", value);
        CHECK(value.find_first_of(L"\r\n") == std::wstring::npos);
        CHECK(value.size() <= bytes.size());
        CHECK(IniValueFromUtf8(bytes, L"SETTINGS", std::wstring(key) == L"count" ? L" COUNT " : key) == value);
        CHECK(IniValueFromUtf8(std::string(kBom) + std::string(body), L"settings", key) == value);
        // Lines before the first header belong to no section.
        CHECK(IniValueFromUtf8("count=x\nnew1=x\nnewcmd1=x\n" + std::string(body), L"settings", key) == value);
    }

    // The first line of the input, well-formed, as the value of a key:
    // read back by the rules, whatever surrounds it.
    std::string line(body.substr(0, body.find_first_of("\r\n")));
    const auto decoded = WellFormed(line);
    if (!decoded) return 0;
    const std::wstring expected = ExpectedValue(Wide(*decoded));
    fuzz::Show(1, "expected", expected);
    const std::string file = "[other]\r\nnew1=no\r\n[Settings]\r\n; new1=no\r\nnew10=no\r\n  NEW1\t= " + line +
                             "\r\nnew1=second\r\n[settings]\r\nnew1=third\r\n";
    CHECK(IniValueFromUtf8(file, L"settings", L"new1") == expected);
    return 0;
}
