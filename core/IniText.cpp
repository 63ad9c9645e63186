#include "IniText.h"

#include <cstdint>

namespace wl {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// One character of UTF-8 at the start of the bytes: its code point and
// length, or a length of 0 when the bytes there are no UTF-8 (overlong
// forms, surrogates and code points above U+10FFFF are none).
struct Utf8Char {
    char32_t code = 0;
    std::size_t length = 0;
};

Utf8Char NextUtf8(std::string_view bytes)
{
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) return {lead, 1};
    std::size_t length;
    char32_t code;
    std::uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {};
    }
    if (bytes.size() < length) return {};
    for (std::size_t i = 1; i < length; ++i) {
        const std::uint8_t next = byte(i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return {};
        code = (code << 6) | (next & 0x3F);
    }
    return {code, length};
}

void Append(std::wstring& text, char32_t code)
{
    if constexpr (sizeof(wchar_t) == 2) {
        if (code > 0xFFFF) {
            code -= 0x10000;
            text.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
            text.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
            return;
        }
    }
    text.push_back(static_cast<wchar_t>(code));
}

std::wstring FromUtf8(std::string_view bytes)
{
    std::wstring text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        Utf8Char c = NextUtf8(bytes);
        if (c.length == 0) c = {0xFFFD, 1};
        Append(text, c.code);
        bytes.remove_prefix(c.length);
    }
    return text;
}

std::wstring FromUtf16Be(std::string_view bytes)
{
    auto unit = [&](std::size_t i) -> char32_t {
        return static_cast<char32_t>((static_cast<std::uint8_t>(bytes[2 * i]) << 8) |
                                     static_cast<std::uint8_t>(bytes[2 * i + 1]));
    };
    const std::size_t count = bytes.size() / 2;
    std::wstring text;
    text.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        char32_t code = unit(i);
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < count && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        Append(text, code);
    }
    return text;
}

// The blanks the profile functions strip, the old end-of-file mark included.
bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r') || c == 0x1A; }

std::wstring_view TrimStart(std::wstring_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

std::wstring_view TrimEnd(std::wstring_view text)
{
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::wstring_view Trim(std::wstring_view text) { return TrimEnd(TrimStart(text)); }

// Names and values end at a NUL, as the system's strings do.
std::wstring_view BeforeNul(std::wstring_view text) { return text.substr(0, text.find(L'\0')); }

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool SameName(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

std::wstring_view Unquoted(std::wstring_view value)
{
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

IniEncoding IniEncodingOf(std::string_view bytes)
{
    if (bytes.starts_with(kUtf16BeBom)) return IniEncoding::Utf16Be;
    if (bytes.starts_with(kUtf8Bom)) return IniEncoding::Utf8;
    if (bytes.starts_with(kUtf16LeBom)) return IniEncoding::System;
    bool beyondAscii = false;
    while (!bytes.empty()) {
        Utf8Char c = NextUtf8(bytes);
        if (c.length == 0) return IniEncoding::System;
        beyondAscii = beyondAscii || c.length > 1;
        bytes.remove_prefix(c.length);
    }
    return beyondAscii ? IniEncoding::Utf8 : IniEncoding::System;
}

namespace {

std::wstring IniValueFromText(std::wstring_view text, std::wstring_view section, std::wstring_view key)
{
    section = Trim(section);
    key = Trim(key);
    if (key.empty()) return {};

    bool inSection = false;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring_view line = Trim(std::wstring_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;

        if (line.front() == L'[') {
            // A header runs to its last "]"; without one, the line is an ordinary line.
            std::size_t close = line.rfind(L']');
            if (close != std::wstring_view::npos) {
                if (inSection) return {};  // a later section of the same name is not searched
                inSection = SameName(BeforeNul(Trim(line.substr(1, close - 1))), section);
                continue;
            }
        }
        if (!inSection || line.front() == L';') continue;

        std::size_t equals = line.find(L'=');
        std::wstring_view name = BeforeNul(TrimEnd(line.substr(0, equals)));
        if (!SameName(name, key)) continue;
        if (equals == std::wstring_view::npos) return {};
        return std::wstring(Unquoted(BeforeNul(TrimStart(line.substr(equals + 1)))));
    }
    return {};
}

}  // namespace

std::wstring IniValueFromUtf8(std::string_view bytes, std::wstring_view section, std::wstring_view key)
{
    if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
    return IniValueFromText(FromUtf8(bytes), section, key);
}

std::wstring IniValueFromUtf16Be(std::string_view bytes, std::wstring_view section, std::wstring_view key)
{
    if (bytes.starts_with(kUtf16BeBom)) bytes.remove_prefix(kUtf16BeBom.size());
    return IniValueFromText(FromUtf16Be(bytes), section, key);
}

}  // namespace wl
