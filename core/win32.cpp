#include "win32.h"

namespace wl {

namespace {

std::string Narrow(std::wstring_view text, UINT codePage)
{
    if (text.empty()) return {};
    int n = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                  nullptr);
    std::string result(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), n, nullptr,
                              nullptr);
    return result;
}

std::wstring Widen(std::string_view text, UINT codePage)
{
    if (text.empty()) return {};
    int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), n);
    return result;
}

}  // namespace

std::string ToUtf8(std::wstring_view text) { return Narrow(text, CP_UTF8); }
std::wstring FromUtf8(std::string_view text) { return Widen(text, CP_UTF8); }

std::wstring LoadStr(UINT id)
{
    const wchar_t* text = nullptr;
    // With a zero buffer size LoadString hands out a pointer into the resource itself.
    int n = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    return n > 0 && text ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
}

void RegisterPlainWindowClass(const wchar_t* name, WNDPROC procedure) noexcept
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    (void)::RegisterClassExW(&windowClass);  // fails only when registered already
}

}  // namespace wl
