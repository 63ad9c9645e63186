#include "basINI.h"

#include "core/Conversions.h"
#include "core/IniText.h"
#include "core/win32.h"

#include <optional>

IniValue::IniValue(std::int16_t value) : m_text(wl::IntegerText(value)) {}
IniValue::IniValue(int value) : m_text(wl::IntegerText(value)) {}
IniValue::IniValue(double value) : m_text(wl::DoubleText(value)) {}

namespace {

// The buffer the system function fills: a longer value is cut to one less.
constexpr std::size_t kValueBuffer = 512;

// A links file is a few kilobytes; anything far larger is left to the
// profile functions rather than read into memory here.
constexpr LONGLONG kLargestEditedFile = 1 << 20;

std::optional<std::string> FileBytes(const std::wstring& path)
{
    wl::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestEditedFile) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return std::nullopt;
    bytes.resize(read);
    return bytes;
}

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
    if (place.EditedByUser) {
        auto bytes = FileBytes(path);
        const wl::IniEncoding encoding = bytes ? wl::IniEncodingOf(*bytes) : wl::IniEncoding::System;
        if (encoding != wl::IniEncoding::System) {
            std::wstring value = encoding == wl::IniEncoding::Utf8
                                     ? wl::IniValueFromUtf8(*bytes, place.Section, key.Text())
                                     : wl::IniValueFromUtf16Be(*bytes, place.Section, key.Text());
            if (value.size() >= kValueBuffer) value.resize(kValueBuffer - 1);
            return value;
        }
    }
    std::wstring buffer(kValueBuffer, L' ');
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
