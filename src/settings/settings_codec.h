#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/app_settings.h"

// Registry value types, by the system's numbers (the core never includes <windows.h>).
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;

// A path is read into a buffer of this many characters, its terminator included.
inline constexpr size_t kPathBufferChars = 260;

// The whole settings record as one plain value, wherever each field lives at run time.
struct SettingsRecord {
    uint32_t PollIntervalMs = kDefaultPollIntervalMs;
    uint32_t AlertActions = kDefaultAlertActions;
    uint32_t NotificationThrottleSec = kDefaultNotificationThrottleSec;
    uint32_t UpdateCheckIntervalHours = kDefaultUpdateCheckIntervalHours;
    bool IncludeBetas = kDefaultIncludeBetas;
    std::wstring LogFilePath{};
    std::wstring SoundFilePath{};
    PlacementRect MainDialogPlacement{};
    ExclusionList Exclusions{};
    std::wstring MetricsFilePath{};

    bool operator==(const SettingsRecord&) const = default;
};

// One registry value as stored: its type and its bytes (text as little-endian UTF-16).
struct StoredValue {
    uint32_t Type = 0;
    std::vector<uint8_t> Bytes{};
};

// Looks a value up by name; nullopt when it does not exist or cannot be read.
using StoredValueReader = std::function<std::optional<StoredValue>(const std::wstring& name)>;

struct NamedValue {
    std::wstring Name;
    StoredValue Value;
};

bool IsValidPlacement(const PlacementRect& rect);

// Each decoder mirrors a read into the fixed buffer the value belongs in: data that does not fit
// fails the read, shorter data leaves the rest of the zeroed buffer.
std::optional<uint32_t> DecodeDword(const StoredValue& value);
std::optional<std::wstring> DecodePath(const StoredValue& value);
std::optional<PlacementRect> DecodePlacement(const StoredValue& value);
std::optional<std::vector<std::wstring>> DecodeMultiString(const StoredValue& value);

StoredValue EncodeDword(uint32_t number);
StoredValue EncodeText(const std::wstring& text);
StoredValue EncodePlacement(const PlacementRect& rect);
StoredValue EncodeMultiString(const std::vector<std::wstring>& list);

// Replaces each field of the record whose stored value passes its acceptance test; every other
// field keeps the value it had. The default log path is not filled in here.
void DecodeSettings(const StoredValueReader& read, SettingsRecord& record);

// The values a save writes, in order: empty alert paths and an empty placement are left out; an
// empty metrics path is written, as it switches the metrics file off.
std::vector<NamedValue> EncodeSettings(const SettingsRecord& record);

// "<application-data folder>\Watchkeep\alerts.log".
std::wstring DefaultLogFilePath(const std::wstring& appDataFolder);
