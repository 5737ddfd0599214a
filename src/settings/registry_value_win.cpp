#include "settings/registry_value_win.h"

std::optional<StoredValue> ReadRegistryValue(HKEY key, const std::wstring& name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    StoredValue value{type, std::vector<uint8_t>(size)};
    // The value may grow between the two calls; ask again with the size it has then.
    for (;;) {
        size = static_cast<DWORD>(value.Bytes.size());
        const LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &type, value.Bytes.data(), &size);
        if (status == ERROR_SUCCESS) {
            value.Type = type;
            value.Bytes.resize(size);
            return value;
        }
        if (status != ERROR_MORE_DATA) {
            return std::nullopt;
        }
        value.Bytes.resize(size);
    }
}

bool WriteRegistryValue(HKEY key, const std::wstring& name, const StoredValue& value) {
    return RegSetValueExW(key, name.c_str(), 0, value.Type, value.Bytes.data(),
                          static_cast<DWORD>(value.Bytes.size())) == ERROR_SUCCESS;
}

std::optional<uint32_t> ReadRegistryDword(HKEY key, const std::wstring& name) {
    const std::optional<StoredValue> stored = ReadRegistryValue(key, name);
    return stored ? DecodeDword(*stored) : std::nullopt;
}

bool WriteRegistryDword(HKEY key, const std::wstring& name, uint32_t value) {
    return WriteRegistryValue(key, name, EncodeDword(value));
}
