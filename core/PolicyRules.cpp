#include "PolicyRules.h"

#include "core/SettingsRules.h"

#include <algorithm>
#include <iterator>

namespace wl {

namespace {

template <class Valid>
std::optional<std::uint32_t> FirstValid(PolicyDword machine, PolicyDword user, Valid valid)
{
    if (machine && valid(*machine)) return machine;
    if (user && valid(*user)) return user;
    return std::nullopt;
}

// The numbers of the start folders the Options list offers.
constexpr std::uint32_t kStartFolderNumbers[] = {0, 4, 5, 6, 9, 10, 11, 12, 13, 16};

}  // namespace

std::optional<bool> PolicyFlag(PolicyDword machine, PolicyDword user)
{
    auto value = FirstValid(machine, user, [](std::uint32_t v) { return v <= 1; });
    if (!value) return std::nullopt;
    return *value == 1;
}

std::optional<std::int16_t> PolicyStartFolder(PolicyDword machine, PolicyDword user)
{
    auto value = FirstValid(machine, user, [](std::uint32_t v) {
        return std::find(std::begin(kStartFolderNumbers), std::end(kStartFolderNumbers), v) !=
               std::end(kStartFolderNumbers);
    });
    if (!value) return std::nullopt;
    return static_cast<std::int16_t>(*value);
}

std::optional<std::int32_t> PolicyLoadDelayMs(PolicyDword machine, PolicyDword user)
{
    auto value = FirstValid(machine, user, [](std::uint32_t v) { return v <= 600; });
    if (!value) return std::nullopt;
    return static_cast<std::int32_t>(*value) * 1000;
}

std::optional<int> PolicyWarnMinutes(PolicyDword machine, PolicyDword user)
{
    constexpr std::uint32_t kNoWarning = 0xFFFFFFFFu;
    auto value = FirstValid(machine, user, [](std::uint32_t v) {
        return v == kNoWarning || std::find(std::begin(kWarnChoices), std::end(kWarnChoices), static_cast<int>(v)) !=
                                      std::end(kWarnChoices);
    });
    if (!value) return std::nullopt;
    return *value == kNoWarning ? kWarnOff : static_cast<int>(*value);
}

}  // namespace wl
