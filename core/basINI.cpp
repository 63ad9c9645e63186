#include "basINI.h"

#include "core/Conversions.h"
#include "core/win32.h"

IniValue::IniValue(std::int16_t value) : m_text(wl::IntegerText(value)) {}
IniValue::IniValue(int value) : m_text(wl::IntegerText(value)) {}
IniValue::IniValue(double value) : m_text(wl::DoubleText(value)) {}

namespace {

std::wstring& Folder()
{
    static std::wstring folder;
    return folder;
}

}  // namespace

const std::wstring& SettingsFolder() { return Folder(); }

void SetSettingsFolder(std::wstring folder) { Folder() = std::move(folder); }

std::wstring SettingsFileName()
{
    std::wstring path = wl::ExecutablePath();
    auto slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    auto dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    return name + L".ini";
}

IniPlace SettingsPlace() { return IniPlace{L"settings", SettingsFolder(), SettingsFileName()}; }

std::wstring ReadIniSetting(const IniValue& key, const IniPlace& place)
{
    std::wstring path = place.Folder + place.FileName;
    std::wstring buffer(512, L' ');
    DWORD n = ::GetPrivateProfileStringW(place.Section.c_str(), key.Text().c_str(), L"", buffer.data(),
                                         static_cast<DWORD>(buffer.size()), path.c_str());
    buffer.resize(n);
    return buffer;
}

bool WriteIniSetting(const IniValue& key, const IniValue& value, const IniPlace& place)
{
    std::wstring path = place.Folder + place.FileName;
    return ::WritePrivateProfileStringW(place.Section.c_str(), key.Text().c_str(), value.Text().c_str(),
                                        path.c_str()) != FALSE;
}
