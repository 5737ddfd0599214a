#include "settings/settings_codec.h"

#include <algorithm>

#include "base/utf8.h"
#include "settings/setting_ranges.h"

namespace {

constexpr size_t kDwordBytes = 4;
constexpr size_t kPlacementBytes = 16;
constexpr std::u16string_view kNul(u"\0", 1);

// Registry text as code units: pairs of little-endian bytes; a stray last byte is the low half
// of a unit whose high half is still zero in the buffer.
std::u16string UnitsFromBytes(const std::vector<uint8_t>& bytes) {
    std::u16string units((bytes.size() + 1) / 2, u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        units[i / 2] = static_cast<char16_t>(units[i / 2] | (bytes[i] << (8 * (i % 2))));
    }
    return units;
}

void AppendUnits(std::vector<uint8_t>& bytes, std::u16string_view units) {
    for (const char16_t unit : units) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
}

int32_t ReadInt32(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t number = 0;
    for (size_t i = 0; i < 4; ++i) {
        number |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return static_cast<int32_t>(number);
}

void AppendInt32(std::vector<uint8_t>& bytes, int32_t value) {
    const auto number = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<uint8_t>(number >> (8 * i)));
    }
}

// The 64-bit difference keeps a rectangle spanning more than 2^31 from wrapping into validity.
bool PositiveSpan(int32_t low, int32_t high) {
    return static_cast<int64_t>(high) - static_cast<int64_t>(low) > 0;
}

template <typename Accept>
void ApplyDword(const StoredValueReader& read, const wchar_t* name, uint32_t& field, Accept accept) {
    if (const auto stored = read(name)) {
        if (const auto number = DecodeDword(*stored); number && accept(*number)) {
            field = *number;
        }
    }
}

void ApplyPath(const StoredValueReader& read, const wchar_t* name, std::wstring& field) {
    if (const auto stored = read(name)) {
        if (auto text = DecodePath(*stored)) {
            field = std::move(*text);
        }
    }
}

}  // namespace

bool IsValidPlacement(const PlacementRect& rect) {
    return PositiveSpan(rect.Left, rect.Right) && PositiveSpan(rect.Top, rect.Bottom);
}

std::optional<uint32_t> DecodeDword(const StoredValue& value) {
    if (value.Bytes.size() > kDwordBytes) {
        return std::nullopt;
    }
    uint32_t number = 0;
    for (size_t i = 0; i < value.Bytes.size(); ++i) {
        number |= static_cast<uint32_t>(value.Bytes[i]) << (8 * i);
    }
    return number;
}

std::optional<std::wstring> DecodePath(const StoredValue& value) {
    if (value.Bytes.size() > kPathBufferChars * 2) {
        return std::nullopt;
    }
    std::u16string units = UnitsFromBytes(value.Bytes);
    units.resize(std::find(units.begin(), units.end(), u'\0') - units.begin());
    return Utf16ToWide(units);
}

std::optional<PlacementRect> DecodePlacement(const StoredValue& value) {
    if (value.Bytes.size() != kPlacementBytes) {
        return std::nullopt;
    }
    PlacementRect rect{ReadInt32(value.Bytes, 0), ReadInt32(value.Bytes, 4), ReadInt32(value.Bytes, 8),
                       ReadInt32(value.Bytes, 12)};
    if (!IsValidPlacement(rect)) {
        return std::nullopt;
    }
    return rect;
}

std::optional<std::vector<std::wstring>> DecodeMultiString(const StoredValue& value) {
    // A single NUL (the saved empty list) is too short and means "nothing stored". An odd size
    // cannot be read into a buffer of whole characters.
    if (value.Type != kRegMultiSz || value.Bytes.size() < 3 || value.Bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    const std::u16string units = UnitsFromBytes(value.Bytes);
    std::vector<std::wstring> list;
    size_t start = 0;
    while (start < units.size()) {
        size_t end = units.find(u'\0', start);
        if (end == start) {
            break;
        }
        // A last string without its terminator ends at the end of the data, never past it.
        if (end == std::u16string::npos) {
            end = units.size();
        }
        list.push_back(Utf16ToWide(std::u16string_view(units).substr(start, end - start)));
        start = end + 1;
    }
    return list;
}

StoredValue EncodeDword(uint32_t number) {
    StoredValue value{kRegDword, {}};
    AppendInt32(value.Bytes, static_cast<int32_t>(number));
    return value;
}

StoredValue EncodeText(const std::wstring& text) {
    StoredValue value{kRegSz, {}};
    AppendUnits(value.Bytes, WideToUtf16(text));
    AppendUnits(value.Bytes, kNul);
    return value;
}

StoredValue EncodePlacement(const PlacementRect& rect) {
    StoredValue value{kRegBinary, {}};
    for (const int32_t side : {rect.Left, rect.Top, rect.Right, rect.Bottom}) {
        AppendInt32(value.Bytes, side);
    }
    return value;
}

StoredValue EncodeMultiString(const std::vector<std::wstring>& list) {
    StoredValue value{kRegMultiSz, {}};
    for (const std::wstring& pattern : list) {
        AppendUnits(value.Bytes, WideToUtf16(pattern));
        AppendUnits(value.Bytes, kNul);
    }
    AppendUnits(value.Bytes, kNul);
    return value;
}

void DecodeSettings(const StoredValueReader& read, SettingsRecord& record) {
    ApplyDword(read, L"PollIntervalMs", record.PollIntervalMs,
               [](uint32_t ms) { return kPollIntervalMsRange.Contains(ms); });
    ApplyDword(read, L"AlertActions", record.AlertActions, [](uint32_t) { return true; });
    ApplyDword(read, L"NotificationThrottleSec", record.NotificationThrottleSec,
               [](uint32_t seconds) { return kNotificationThrottleSecRange.Contains(seconds); });
    ApplyDword(read, L"UpdateCheckIntervalHours", record.UpdateCheckIntervalHours, IsOfferedUpdateInterval);
    if (const auto stored = read(L"IncludeBetas")) {
        if (const auto number = DecodeDword(*stored)) {
            record.IncludeBetas = *number != 0;
        }
    }
    ApplyPath(read, L"LogFilePath", record.LogFilePath);
    ApplyPath(read, L"SoundFilePath", record.SoundFilePath);
    ApplyPath(read, L"MetricsFilePath", record.MetricsFilePath);
    if (const auto stored = read(L"MainDialogPlacement")) {
        if (const auto rect = DecodePlacement(*stored)) {
            record.MainDialogPlacement = *rect;
        }
    }
    if (const auto stored = read(L"Exclusions")) {
        if (auto list = DecodeMultiString(*stored)) {
            record.Exclusions = std::move(*list);
        }
    }
}

std::vector<NamedValue> EncodeSettings(const SettingsRecord& record) {
    std::vector<NamedValue> values = {
        {L"PollIntervalMs", EncodeDword(record.PollIntervalMs)},
        {L"AlertActions", EncodeDword(record.AlertActions)},
        {L"NotificationThrottleSec", EncodeDword(record.NotificationThrottleSec)},
        {L"UpdateCheckIntervalHours", EncodeDword(record.UpdateCheckIntervalHours)},
        {L"IncludeBetas", EncodeDword(record.IncludeBetas ? 1 : 0)},
    };
    // An empty path is not written, so the one stored before comes back at the next start.
    if (!record.LogFilePath.empty()) {
        values.push_back({L"LogFilePath", EncodeText(record.LogFilePath)});
    }
    if (!record.SoundFilePath.empty()) {
        values.push_back({L"SoundFilePath", EncodeText(record.SoundFilePath)});
    }
    values.push_back({L"MetricsFilePath", EncodeText(record.MetricsFilePath)});
    values.push_back({L"Exclusions", EncodeMultiString(record.Exclusions)});
    if (IsValidPlacement(record.MainDialogPlacement)) {
        values.push_back({L"MainDialogPlacement", EncodePlacement(record.MainDialogPlacement)});
    }
    return values;
}

std::wstring DefaultLogFilePath(const std::wstring& appDataFolder) {
    return appDataFolder + L"\\Watchkeep\\alerts.log";
}
