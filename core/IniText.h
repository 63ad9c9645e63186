// INI files as the user's editor saved them. The system's profile functions
// read a file in the ANSI code page unless it starts with a UTF-16LE
// byte-order mark; Notepad saves UTF-8, without a byte-order mark by
// default, which they would read as garbage (and with one, Windows loses the
// first section). No Windows functions here.
#pragma once

#include <string_view>
#include <string>

namespace wl {

enum class IniEncoding {
    System,  // what the profile functions read right: UTF-16 with a byte-order mark, or the ANSI code page
    Utf8,
    Utf16Be,  // with its byte-order mark: the profile functions would read it as the ANSI code page
};

// UTF-16 big-endian when the file starts with its byte-order mark (a choice
// of Notepad's). UTF-8 when the file starts with its byte-order mark, or when it is valid
// UTF-8 and holds at least one character outside ASCII (text in an 8-bit
// code page almost never is). Anything else is left to the profile functions,
// so a file in the user's code page reads as it always did.
IniEncoding IniEncodingOf(std::string_view bytes);

// The value GetPrivateProfileString gives for the key in the section, read
// from a file's UTF-8 bytes (a byte-order mark is skipped, a byte that is no
// UTF-8 reads as U+FFFD); empty when the section or key is missing. As the
// profile functions do: lines end at a carriage return or a line feed;
// blanks around lines, section names, key names and values go; section and key names compare without regard to ASCII case;
// only the first section of the name is searched, and in it the first line
// of the key, which gives an empty value when it has no "="; a value in a
// pair of double or single quotes loses them; a line starting with ";" is a
// comment. The value is not cut to a length.
std::wstring IniValueFromUtf8(std::string_view bytes, std::wstring_view section, std::wstring_view key);
// The same from a file's UTF-16 big-endian bytes (a byte-order mark is
// skipped, a surrogate without its pair reads as U+FFFD, an odd last byte goes).
std::wstring IniValueFromUtf16Be(std::string_view bytes, std::wstring_view section, std::wstring_view key);

}  // namespace wl
