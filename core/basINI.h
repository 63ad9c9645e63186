// Access to the program's INI files: the settings file beside the executable
// and, with explicit arguments, the links file. The 8-bit profile functions
// are used on purpose, so files written by earlier versions read the same.
#pragma once

#include <cstdint>
#include <optional>
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

// Missing optional arguments take their defaults at each call: section
// "settings", folder g_strAppPath, file the executable's name with ".ini".
struct IniPlace {
    std::optional<std::wstring> Section;
    std::optional<std::wstring> Folder;
    std::optional<std::wstring> FileName;
};

std::wstring ReadIniSetting(const IniValue& key, const IniPlace& place = {});
void WriteIniSetting(const IniValue& key, const IniValue& value, const IniPlace& place = {});

// The executable's file name without its extension, followed by ".ini".
std::wstring SettingsFileName();
