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

int WarnMinutesFromKey(std::wstring_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == L' ') ++i;
    std::size_t digits = i;
    while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9' && digits - i < 3) ++digits;
    if (digits == i) return kWarnOff;
    std::size_t end = digits;
    while (end < text.size() && text[end] == L' ') ++end;
    if (end != text.size()) return kWarnOff;
    int value = 0;
    for (std::size_t k = i; k < digits; ++k) value = value * 10 + (text[k] - L'0');
    for (int choice : kWarnChoices)
        if (choice == value) return value;
    return kWarnOff;
}

}  // namespace wl
