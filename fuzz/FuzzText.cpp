// Shared by the fuzz targets: how the input bytes become a text, and how a
// failed check is reported.
//
// A byte below F8 is the character of that value, so plain-text inputs read
// as themselves. F8-FB is followed by two bytes, low first: any 16-bit code
// unit, lone surrogates and NUL included. FC-FF is followed by three bytes: a
// character above FFFF (with a 16-bit wchar_t, its surrogate pair). An escape
// cut short by the end of the input is dropped.
#include "FuzzText.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

std::wstring DecodeText(const std::uint8_t* data, std::size_t size)
{
    std::wstring text;
    text.reserve(size);
    std::size_t i = 0;
    while (i < size) {
        std::uint8_t b = data[i++];
        if (b < 0xF8) {
            text += static_cast<wchar_t>(b);
        } else if (b < 0xFC) {
            if (size - i < 2) break;
            text += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
            i += 2;
        } else {
            if (size - i < 3) break;
            std::uint32_t v = 0x10000u + ((static_cast<std::uint32_t>(b & 3) << 24) |
                                          static_cast<std::uint32_t>(data[i] | data[i + 1] << 8 | data[i + 2] << 16));
            i += 3;
            if constexpr (sizeof(wchar_t) == 2) {
                v = 0x10000u + (v - 0x10000u) % 0x100000u;
                text += static_cast<wchar_t>(0xD800u + ((v - 0x10000u) >> 10));
                text += static_cast<wchar_t>(0xDC00u + ((v - 0x10000u) & 0x3FFu));
            } else {
                text += static_cast<wchar_t>(v);
            }
        }
    }
    return text;
}

namespace {

constexpr int kMaxShown = 4;
struct Shown {
    const char* label = nullptr;
    std::wstring text;
};
Shown g_shown[kMaxShown];

void Print(const std::wstring& text)
{
    std::fputc('"', stderr);
    for (wchar_t c : text) {
        auto u = static_cast<std::uint32_t>(c);
        if (u >= 0x20 && u < 0x7F && c != L'"' && c != L'\\') std::fputc(static_cast<int>(u), stderr);
        else std::fprintf(stderr, "\\x{%X}", static_cast<unsigned>(u));
    }
    std::fprintf(stderr, "\" (%zu)\n", text.size());
}

}  // namespace

void Show(int slot, const char* label, std::wstring_view text)
{
    if (slot < 0 || slot >= kMaxShown) return;
    g_shown[slot].label = label;
    g_shown[slot].text.assign(text);
}

void ClearShown()
{
    for (auto& s : g_shown) s.label = nullptr;
}

[[noreturn]] void Fail(const char* check, const char* file, int line)
{
    std::fprintf(stderr, "\n==== check failed: %s\n     at %s:%d\n", check, file, line);
    for (const auto& s : g_shown) {
        if (!s.label) continue;
        std::fprintf(stderr, "     %s = ", s.label);
        Print(s.text);
    }
    std::abort();
}

}  // namespace fuzz
