// The program's only registry access: reading one text value.
#pragma once

#include "core/win32.h"

#include <string>
#include <string_view>

// The text of a registry value (empty name: the key's default value), or empty
// when the key cannot be opened or the value is missing.
std::wstring ReadRegistryString(HKEY root, std::wstring_view keyPath, std::wstring_view valueName);
