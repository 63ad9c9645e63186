// How the values an administrator sets by Group Policy become settings.
// Pure rules; the registry is read in Policies.cpp.
#pragma once

#include <cstdint>
#include <optional>

namespace wl {

// A policy value as the registry holds it: a DWORD, or none (absent, or of
// another type).
using PolicyDword = std::optional<std::uint32_t>;

// The computer's value wins over the user's. A value outside the policy's
// range counts as absent, as the settings file's bad values do: the other
// hive's value, or the user's own choice, applies then.
std::optional<bool> PolicyFlag(PolicyDword machine, PolicyDword user);
// One of the ten start folders of the Options list, by its number.
std::optional<std::int16_t> PolicyStartFolder(PolicyDword machine, PolicyDword user);
// The start-up delay, given in seconds (0 to 600), in milliseconds.
std::optional<std::int32_t> PolicyLoadDelayMs(PolicyDword machine, PolicyDword user);
// The minutes of the own warning before every meeting: one of the Options
// choices, or 4294967295 (-1 as a signed DWORD, as the settings file writes
// it) for no warning.
std::optional<int> PolicyWarnMinutes(PolicyDword machine, PolicyDword user);

}  // namespace wl
