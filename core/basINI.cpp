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
    std::string section = wl::ToAnsi(place.Section);
    std::string path = wl::ToAnsi(place.Folder + place.FileName);
    std::string buffer(512, ' ');
    DWORD n = ::GetPrivateProfileStringA(section.c_str(), wl::ToAnsi(key.Text()).c_str(), "", buffer.data(),
                                         static_cast<DWORD>(buffer.size()), path.c_str());
    buffer.resize(n);
    return wl::FromAnsi(buffer);
}

void WriteIniSetting(const IniValue& key, const IniValue& value, const IniPlace& place)
{
    std::string section = wl::ToAnsi(place.Section);
    std::string path = wl::ToAnsi(place.Folder + place.FileName);
    (void)::WritePrivateProfileStringA(section.c_str(), wl::ToAnsi(key.Text()).c_str(),
                                       wl::ToAnsi(value.Text()).c_str(), path.c_str());
}
