#include "basTimer.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace {

UINT g_minuteMs = 60'000;
LONGLONG g_wallClockSkewMs = 0;

std::vector<std::weak_ptr<IFormWithTimer>>& Owners()
{
    static std::vector<std::weak_ptr<IFormWithTimer>> owners;
    return owners;
}

bool MultiplyFits(std::int32_t a, std::int32_t b, std::int32_t& product)
{
    long long p = static_cast<long long>(a) * b;
    if (p < std::numeric_limits<std::int32_t>::min() || p > std::numeric_limits<std::int32_t>::max()) return false;
    product = static_cast<std::int32_t>(p);
    return true;
}

}  // namespace

std::optional<std::int32_t> TimerIntervalMs(std::int32_t minutes)
{
    std::int32_t thousand = 0, ms = 0;
    if (!MultiplyFits(minutes, 1000, thousand) || !MultiplyFits(thousand, 60, ms)) return std::nullopt;
    return ms;
}

std::int32_t StartTimer(std::int32_t minutes)
{
    auto interval = TimerIntervalMs(minutes);
    if (!interval) throw std::overflow_error("timer interval overflow");
    UINT ms = static_cast<UINT>(*interval) / 60'000 * g_minuteMs;
    return static_cast<std::int32_t>(::SetTimer(nullptr, 0, ms, &TimerProc));
}

void StopTimer(std::int32_t timerId) { (void)::KillTimer(nullptr, static_cast<UINT_PTR>(timerId)); }

void SetTimerMinuteMs(UINT milliseconds) { g_minuteMs = milliseconds; }

UINT TimerMinuteMs() noexcept { return g_minuteMs; }

ULONGLONG WallClockMs() noexcept
{
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / 10'000 + static_cast<ULONGLONG>(g_wallClockSkewMs);
}

void SetWallClockSkewMs(LONGLONG skewMs) noexcept { g_wallClockSkewMs = skewMs; }

void CALLBACK TimerProc(HWND, UINT, UINT_PTR idEvent, DWORD)
{
    // Hold every window for the walk: TimerFired may unload one of them.
    std::vector<std::shared_ptr<IFormWithTimer>> windows;
    for (const auto& weak : Owners())
        if (auto window = weak.lock()) windows.push_back(std::move(window));

    const auto id = static_cast<std::int32_t>(idEvent);
    for (const auto& window : windows) {
        try {
            std::int16_t count = window->TimersCount();
            for (std::int16_t index = 1; index <= count && index > 0; ++index) {
                if (window->TimerID(index) == id) {
                    window->TimerFired(id);
                    return;  // each tick reaches one window only
                }
            }
        } catch (...) {
            // A failing window is passed over; the walk goes on.
        }
    }
}

void RegisterTimerOwner(const std::shared_ptr<IFormWithTimer>& window)
{
    auto& owners = Owners();
    owners.erase(std::remove_if(owners.begin(), owners.end(), [](const auto& w) { return w.expired(); }),
                 owners.end());
    owners.push_back(window);
}

void UnregisterTimerOwner(const IFormWithTimer* window)
{
    auto& owners = Owners();
    owners.erase(std::remove_if(owners.begin(), owners.end(),
                                [window](const auto& w) {
                                    auto locked = w.lock();
                                    return !locked || locked.get() == window;
                                }),
                 owners.end());
}
