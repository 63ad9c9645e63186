#include "Clock.h"

#include <wtsapi32.h>

#include <cmath>
#include <iterator>

namespace {

bool ToUtc(const SYSTEMTIME& local, SYSTEMTIME& utc) noexcept
{
    // The dynamic rules know the year: a zone's rules have changed over the
    // years. Looked up, not imported: not every system that runs the program has it.
    using ToUtcEx = BOOL(WINAPI*)(const DYNAMIC_TIME_ZONE_INFORMATION*, const SYSTEMTIME*, LPSYSTEMTIME);
    static const auto toUtcEx = reinterpret_cast<ToUtcEx>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "TzSpecificLocalTimeToSystemTimeEx")));
    DYNAMIC_TIME_ZONE_INFORMATION zone{};
    if (toUtcEx && ::GetDynamicTimeZoneInformation(&zone) != TIME_ZONE_ID_INVALID && toUtcEx(&zone, &local, &utc))
        return true;
    return ::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) != FALSE;
}

ULONGLONG Ticks(const SYSTEMTIME& time) noexcept
{
    FILETIME file{};
    ::SystemTimeToFileTime(&time, &file);
    return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

}  // namespace

namespace {

double g_localClockOffsetDays = 0;

}  // namespace

double LocalNow() noexcept
{
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    double date = 0;
    ::SystemTimeToVariantTime(&local, &date);
    return date + g_localClockOffsetDays;
}

void SetLocalClockOffset(double days) noexcept { g_localClockOffsetDays = days; }

int LocalOffsetMinutesAt(double localDate) noexcept
{
    SYSTEMTIME local{}, utc{};
    double utcDate = 0;
    if (!::VariantTimeToSystemTime(localDate, &local) || !ToUtc(local, utc) ||
        !::SystemTimeToVariantTime(&utc, &utcDate))
        return 0;
    return static_cast<int>(std::lround((localDate - utcDate) * 1440.0));
}

UINT MsToNextLocalMidnight() noexcept
{
    SYSTEMTIME now{}, local{};
    ::GetSystemTime(&now);
    ::GetLocalTime(&local);
    double today = 0;
    local.wHour = local.wMinute = local.wSecond = local.wMilliseconds = 0;
    SYSTEMTIME midnight{}, utcMidnight{};
    if (!::SystemTimeToVariantTime(&local, &today) || !::VariantTimeToSystemTime(today + 1, &midnight) ||
        !ToUtc(midnight, utcMidnight))
        return 60'000;  // the clock cannot be read: look again in a minute
    const ULONGLONG until = Ticks(utcMidnight) > Ticks(now) ? (Ticks(utcMidnight) - Ticks(now)) / 10'000 : 0;
    return static_cast<UINT>(until < 1 ? 1 : until);
}

bool SaysReadAgain(UINT message, WPARAM wParam) noexcept
{
    switch (message) {
    case WM_POWERBROADCAST: return wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND;
    case WM_WTSSESSION_CHANGE:
        return wParam == WTS_SESSION_UNLOCK || wParam == WTS_CONSOLE_CONNECT || wParam == WTS_REMOTE_CONNECT;
    case WM_TIMECHANGE: return true;
    default: return false;
    }
}

unsigned LocalDayNumber() noexcept
{
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    return local.wYear * 10'000u + local.wMonth * 100u + local.wDay;
}

bool SessionNotifications::Start(HWND window) noexcept
{
    Stop();
    // Not a KnownDLL: loaded from the system folder only, when the program asks for it.
    m_library = ::LoadLibraryExW(L"wtsapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    auto start = m_library ? reinterpret_cast<decltype(&::WTSRegisterSessionNotification)>(
                                 reinterpret_cast<void*>(::GetProcAddress(m_library, "WTSRegisterSessionNotification")))
                           : nullptr;
    if (start && start(window, NOTIFY_FOR_THIS_SESSION)) m_window = window;
    return m_window != nullptr;
}

void SessionNotifications::Stop() noexcept
{
    if (m_window && m_library) {
        auto stop = reinterpret_cast<decltype(&::WTSUnRegisterSessionNotification)>(
            reinterpret_cast<void*>(::GetProcAddress(m_library, "WTSUnRegisterSessionNotification")));
        if (stop) (void)stop(m_window);
    }
    m_window = nullptr;
    if (m_library) ::FreeLibrary(m_library);
    m_library = nullptr;
}

std::wstring TimeOfDayText(double localDate)
{
    // To the nearest minute first: a date read from the server is a
    // fraction of a day and may fall a hair short of the minute it means.
    const double minute = std::round(localDate * 1440.0) / 1440.0;
    SYSTEMTIME time{};
    if (!::VariantTimeToSystemTime(minute, &time)) return {};
    // The short time format, which the user may have set apart from the long one.
    wchar_t format[80];
    const bool shortFormat =
        ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SSHORTTIME, format, static_cast<int>(std::size(format))) > 0;
    wchar_t text[80];
    if (!::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, shortFormat ? 0 : TIME_NOSECONDS, &time,
                           shortFormat ? format : nullptr, text, static_cast<int>(std::size(text))))
        return {};
    return text;
}
