// What the fuzz targets share (FuzzText.cpp): the input bytes as a text,
// the texts shown with a failed check, and the check itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz {

std::wstring DecodeText(const std::uint8_t* data, std::size_t size);
// Remembers a text to print when a check fails (a few slots).
void Show(int slot, const char* label, std::wstring_view text);
void ClearShown();
[[noreturn]] void Fail(const char* check, const char* file, int line);

}  // namespace fuzz

// Aborts with the shown texts when the condition does not hold.
#define CHECK(cond) \
    do { \
        if (!(cond)) fuzz::Fail(#cond, __FILE__, __LINE__); \
    } while (0)
