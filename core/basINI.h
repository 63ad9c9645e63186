// Access to the program's INI files: the settings file and, with an explicit
// place, the links file. The wide profile functions take any path; they read
// files written in the system's code page as the 8-bit ones did, and files
// saved as UTF-16 with a byte-order mark as Unicode. A file only the user
// writes may also be UTF-8, which they cannot read (core/IniText.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A value as it is written: text stays text, an integer gives its digits, a
// double its shortest text with a full stop (5000, 0.5).
class IniValue {
public:
    IniValue(std::wstring_view text) : m_text(text) {}
    IniValue(const wchar_t* text) : m_text(text ? text : L"") {}
    IniValue(const std::wstring& text) : m_text(text) {}
    IniValue(std::int16_t value);
    IniValue(int value);
    IniValue(double value);
    const std::wstring& Text() const noexcept { return m_text; }

private:
    std::wstring m_text;
};

// A section of an INI file: the folder (ending in a backslash) followed
// directly by the file name.
struct IniPlace {
    std::wstring Section;
    std::wstring Folder;
    std::wstring FileName;
    // Read as the user's editor saved it, UTF-8 included. Never for a file the
    // program writes: reads and writes must both go through the profile
    // functions, or a write could land where the read does not look (a UTF-8
    // byte-order mark hides the first section from them on Windows).
    bool EditedByUser = false;
};

// Where the settings file lives. Start-up sets the folder once; until then
// it is empty, and the file name follows the executable's name.
const std::wstring& SettingsFolder();
void SetSettingsFolder(std::wstring folder);
// The executable's file name without its extension, followed by ".ini".
std::wstring SettingsFileName();
// Section "settings" of the settings file, as it is at the time of the call.
IniPlace SettingsPlace();

std::wstring ReadIniSetting(const IniValue& key, const IniPlace& place = SettingsPlace());
// Whether the system wrote the value.
bool WriteIniSetting(const IniValue& key, const IniValue& value, const IniPlace& place = SettingsPlace());
