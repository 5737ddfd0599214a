#include <cstddef>
#include <cstdint>

#include "fuzz_targets.h"
#include "settings/settings_codec.h"

// Registry data is outside input: any bytes, under either text type, must decode without reading
// past the data, and a decoded list must encode back to bytes that decode to the same list. The
// same bytes under every name: a number of up to four bytes, zero-extended, replaces a default
// only within its range.
bool SettingsCodecFuzz(const uint8_t* data, size_t size) {
    const StoredValue multi{kRegMultiSz, std::vector<uint8_t>(data, data + size)};
    if (const auto list = DecodeMultiString(multi)) {
        bool anyEmpty = false;
        for (const auto& pattern : *list) {
            anyEmpty |= pattern.empty();
        }
        if (anyEmpty) {
            return false;
        }
        if (!list->empty() && DecodeMultiString(EncodeMultiString(*list)) != list) {
            return false;
        }
    }
    DecodePath(StoredValue{kRegSz, multi.Bytes});
    DecodePlacement(StoredValue{kRegBinary, multi.Bytes});
    // Every field starts outside its range, so a value wrongly refused shows too.
    SettingsRecord record{~0u, ~0u, ~0u, ~0u, false};
    DecodeSettings([&](const std::wstring&) { return std::optional(StoredValue{kRegDword, multi.Bytes}); }, record);
    uint32_t n = 0;
    for (size_t i = 0; i < size && i < 4; ++i) {
        n |= static_cast<uint32_t>(data[i]) << (8 * i);
    }
    const auto kept = [&](uint32_t field, bool inRange) { return field == (size <= 4 && inRange ? n : ~0u); };
    if (!kept(record.PollIntervalMs, n >= 500 && n <= 30000) || !kept(record.AlertActions, true) ||
        !kept(record.NotificationThrottleSec, n >= 1 && n <= 3600) ||
        !kept(record.UpdateCheckIntervalHours, n == 24 || n == 72 || n == 168) ||
        record.IncludeBetas != (size <= 4 && n != 0)) {
        return false;
    }
    return true;
}
