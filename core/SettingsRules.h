// How the stored texts of the settings file become the program's values.
// Pure rules, shared by start-up, the main window and the Options dialog.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wl {

// Flags are stored as -1 (on) and 0 (off); in memory they are bool.

// "DontKeepOlLoaded", "DontTrackReminders", "DontTrackOverdueTasks": the
// feature is on unless the stored number rounds to exactly -1. A number too
// large for 32 bits reads as absent, which leaves the feature on.
bool FlagFromInverseKey(std::wstring_view stored);

// "KeepWordLoaded", "DisplayOutlookAtStart": on when the number is not 0
// (no rounding: 0.3 is on). A number that does not fit a double reads as absent.
bool FlagFromKey(std::wstring_view stored);

// "StartOutlookIn": the number rounded to 16 bits; out of range reads as absent (0).
std::int16_t StartFolderFromKey(std::wstring_view stored);

// "LoadDelay" in milliseconds. Start-up waits at most ten minutes: a negative
// delay waits not at all, a longer one is cut to the limit, and a number that
// does not fit 32 bits reads as absent (no delay).
inline constexpr std::int32_t kMaxLoadDelayMs = 600'000;
std::int32_t LoadDelayFromKey(std::wstring_view stored);

// The Options dialog's delay box, in seconds with a full stop as decimal point.
std::wstring DelaySecondsText(std::int32_t delayMs);
// The milliseconds to store for the box's text, or std::nullopt when start-up
// would not accept the delay (below 0 or above the limit).
std::optional<double> DelayMsFromSecondsText(std::wstring_view text);

// The text written for a flag, and for the complement of a flag (the "Dont" keys).
std::wstring FlagText(bool on);
std::wstring InverseFlagText(bool on);

// The minutes of the warning before every meeting: one of the choices
// offered, or off (an empty key, or anything else).
inline constexpr int kWarnOff = -1;
inline constexpr int kWarnChoices[] = {0, 1, 2, 5, 10, 15};
int WarnMinutesFromKey(std::wstring_view text);

}  // namespace wl
