#include "SettingsRules.h"

#include "Conversions.h"

namespace wl {

bool FlagFromInverseKey(std::wstring_view stored)
{
    auto number = NumberOfText(stored);
    auto rounded = number ? RoundToInt32(*number) : std::nullopt;
    if (!rounded) return true;
    return ~*rounded != 0;
}

bool FlagFromKey(std::wstring_view stored)
{
    auto number = NumberOfText(stored);
    return number && *number != 0.0;
}

std::int16_t StartFolderFromKey(std::wstring_view stored)
{
    auto number = NumberOfText(stored);
    auto rounded = number ? RoundToInt16(*number) : std::nullopt;
    return rounded.value_or(0);
}

std::int32_t LoadDelayFromKey(std::wstring_view stored)
{
    auto number = NumberOfText(stored);
    auto rounded = number ? RoundToInt32(*number) : std::nullopt;
    if (!rounded || *rounded < 0) return 0;
    return *rounded > kMaxLoadDelayMs ? kMaxLoadDelayMs : *rounded;
}

std::wstring DelaySecondsText(std::int32_t delayMs) { return DoubleText(delayMs / 1000.0); }

std::optional<double> DelayMsFromSecondsText(std::wstring_view text)
{
    auto seconds = NumberOfText(text);
    if (!seconds) return std::nullopt;
    double ms = *seconds * 1000.0;
    if (!(ms >= 0.0) || ms > kMaxLoadDelayMs) return std::nullopt;
    return ms == 0.0 ? 0.0 : ms;
}

std::wstring FlagText(bool on) { return on ? L"-1" : L"0"; }

std::wstring InverseFlagText(bool on) { return FlagText(!on); }

}  // namespace wl
