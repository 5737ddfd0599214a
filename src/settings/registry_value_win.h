#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "settings/settings_codec.h"

// Values of an open registry key in the codec's terms. Failures are results: nullopt or false.

// The value's type and bytes; nullopt when it does not exist or cannot be read.
std::optional<StoredValue> ReadRegistryValue(HKEY key, const std::wstring& name);
bool WriteRegistryValue(HKEY key, const std::wstring& name, const StoredValue& value);

// Read as into a four-byte buffer, whatever the stored type (see DecodeDword); written as REG_DWORD.
std::optional<uint32_t> ReadRegistryDword(HKEY key, const std::wstring& name);
bool WriteRegistryDword(HKEY key, const std::wstring& name, uint32_t value);
