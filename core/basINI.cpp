#include "basINI.h"

#include "core/Conversions.h"
#include "core/basMain.h"
#include "core/win32.h"

IniValue::IniValue(std::int16_t value) : m_text(wl::IntegerText(value)) {}
IniValue::IniValue(int value) : m_text(wl::IntegerText(value)) {}
IniValue::IniValue(double value) : m_text(wl::DoubleText(value)) {}

std::wstring SettingsFileName()
{
    std::wstring path = wl::ExecutablePath();
    auto slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    auto dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    return name + L".ini";
}

namespace {

struct ResolvedPlace {
    std::string section;
    std::string path;
};

ResolvedPlace Resolve(const IniPlace& place)
{
    std::wstring folder = place.Folder ? *place.Folder : g_strAppPath;
    std::wstring file = place.FileName ? *place.FileName : SettingsFileName();
    return {wl::ToAnsi(place.Section ? *place.Section : L"settings"), wl::ToAnsi(folder + file)};
}

}  // namespace

std::wstring ReadIniSetting(const IniValue& key, const IniPlace& place)
{
    ResolvedPlace where = Resolve(place);
    std::string buffer(512, ' ');
    DWORD n = ::GetPrivateProfileStringA(where.section.c_str(), wl::ToAnsi(key.Text()).c_str(), "", buffer.data(),
                                         static_cast<DWORD>(buffer.size()), where.path.c_str());
    buffer.resize(n);
    return wl::FromAnsi(buffer);
}

void WriteIniSetting(const IniValue& key, const IniValue& value, const IniPlace& place)
{
    ResolvedPlace where = Resolve(place);
    (void)::WritePrivateProfileStringA(where.section.c_str(), wl::ToAnsi(key.Text()).c_str(),
                                       wl::ToAnsi(value.Text()).c_str(), where.path.c_str());
}
