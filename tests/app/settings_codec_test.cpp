#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/settings_codec.h"

namespace {

using Store = std::map<std::wstring, StoredValue>;

SettingsRecord Decode(const Store& store, SettingsRecord record = {}) {
    DecodeSettings(
        [&store](const std::wstring& name) -> std::optional<StoredValue> {
            const auto found = store.find(name);
            if (found == store.end()) return std::nullopt;
            return found->second;
        },
        record);
    return record;
}

template <typename Change>
SettingsRecord Make(Change change) {
    SettingsRecord record;
    change(record);
    return record;
}

StoredValue Raw(uint32_t type, std::vector<uint8_t> bytes) { return {type, std::move(bytes)}; }

// Little-endian UTF-16 bytes of the given units, as the registry stores text.
StoredValue Units(uint32_t type, const std::u16string& units) {
    StoredValue value{type, {}};
    for (const char16_t unit : units) {
        value.Bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        value.Bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return value;
}

}  // namespace

TEST(SettingsCodec, NumbersAreAcceptedExactlyAtTheirBoundaries) {
    struct Case {
        const wchar_t* name;
        uint32_t stored;
        uint32_t expected;
    };
    const Case cases[] = {
        {L"PollIntervalMs", 499, 30000},  {L"PollIntervalMs", 500, 500},
        {L"PollIntervalMs", 30000, 30000}, {L"PollIntervalMs", 30001, 30000},
        {L"NotificationThrottleSec", 0, 30}, {L"NotificationThrottleSec", 1, 1},
        {L"NotificationThrottleSec", 3600, 3600}, {L"NotificationThrottleSec", 3601, 30},
        {L"UpdateCheckIntervalHours", 48, 24}, {L"UpdateCheckIntervalHours", 72, 72},
        {L"UpdateCheckIntervalHours", 168, 168}, {L"UpdateCheckIntervalHours", 0, 24},
        {L"AlertActions", 0, 0},           {L"AlertActions", 0xFFFFFFFF, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        const SettingsRecord record = Decode({{c.name, EncodeDword(c.stored)}});
        const uint32_t actual = std::wstring(c.name) == L"PollIntervalMs"            ? record.PollIntervalMs
                                : std::wstring(c.name) == L"NotificationThrottleSec" ? record.NotificationThrottleSec
                                : std::wstring(c.name) == L"UpdateCheckIntervalHours"
                                    ? record.UpdateCheckIntervalHours
                                    : record.AlertActions;
        EXPECT_EQ(actual, c.expected) << c.name << " stored as " << c.stored;
    }
}

TEST(SettingsCodec, DwordReadsIgnoreTheTypeButNotTheSize) {
    // A REG_SZ or REG_BINARY of up to four bytes reads as a number, zero-extended.
    EXPECT_EQ(Decode({{L"PollIntervalMs", Raw(kRegBinary, {0xE8, 0x03})}}).PollIntervalMs, 1000u);
    EXPECT_EQ(Decode({{L"AlertActions", Raw(kRegSz, {5})}}).AlertActions, 5u);
    EXPECT_EQ(Decode({{L"AlertActions", Raw(kRegDword, {})}}).AlertActions, 0u);
    // An eight-byte value does not fit the four-byte buffer: the default stays.
    EXPECT_EQ(Decode({{L"PollIntervalMs", Raw(kRegDword, {0xE8, 0x03, 0, 0, 0, 0, 0, 0})}}).PollIntervalMs,
              30000u);
    EXPECT_FALSE(DecodeDword(Raw(kRegDword, {1, 0, 0, 0, 0})).has_value());

    EXPECT_FALSE(Decode({{L"IncludeBetas", EncodeDword(0)}}).IncludeBetas);
    EXPECT_TRUE(Decode({{L"IncludeBetas", EncodeDword(7)}}, Make([](SettingsRecord& r) { r.IncludeBetas = false; })).IncludeBetas);
    const auto written = EncodeSettings(Decode({{L"IncludeBetas", EncodeDword(7)}}));
    EXPECT_EQ(written[4].Name, L"IncludeBetas");
    EXPECT_EQ(written[4].Value.Bytes, EncodeDword(1).Bytes);
}

TEST(SettingsCodec, PathsFitTheirBufferAndStopAtTheFirstNul) {
    const std::wstring longest(259, L'a');
    EXPECT_EQ(DecodePath(EncodeText(longest)), longest);
    // 260 characters plus the terminator need 522 bytes: the read fails and the field stays.
    const SettingsRecord kept = Decode({{L"LogFilePath", EncodeText(std::wstring(260, L'b'))}},
                                       Make([](SettingsRecord& r) { r.LogFilePath = L"C:\\old.log"; }));
    EXPECT_EQ(kept.LogFilePath, L"C:\\old.log");
    // A stored value without terminator that fills the buffer exactly is taken whole.
    EXPECT_EQ(DecodePath(Units(kRegSz, std::u16string(260, u'c'))), std::wstring(260, L'c'));

    EXPECT_EQ(DecodePath(Units(kRegSz, std::u16string(u"C:\\a.wav\0junk", 13))), L"C:\\a.wav");
    EXPECT_EQ(DecodePath(Raw(kRegSz, {'A', 0, 'B'})), L"AB");  // a stray byte is a unit's low half
    // An empty stored path replaces the field: the caller fills the log default afterwards.
    EXPECT_EQ(Decode({{L"SoundFilePath", EncodeText(L"")}}, Make([](SettingsRecord& r) { r.SoundFilePath = L"x"; })).SoundFilePath,
              L"");
    const std::wstring accented = L"C:\\Users\\J\u00f6rg\\\u4e2d.wav";
    EXPECT_EQ(DecodePath(EncodeText(accented)), accented);
}

TEST(SettingsCodec, PlacementNeedsSixteenBytesAndAPositiveArea) {
    const PlacementRect rect{-1200, 10, -200, 700};
    EXPECT_EQ(DecodePlacement(EncodePlacement(rect)), rect);
    EXPECT_EQ(EncodePlacement(rect).Bytes.size(), 16u);
    EXPECT_FALSE(DecodePlacement(EncodePlacement({10, 10, 10, 20})).has_value());
    EXPECT_FALSE(DecodePlacement(EncodePlacement({10, 20, 30, 19})).has_value());
    StoredValue longer = EncodePlacement(rect);
    longer.Bytes.push_back(0);
    EXPECT_FALSE(DecodePlacement(longer).has_value());
    longer.Bytes.resize(12);
    EXPECT_FALSE(DecodePlacement(longer).has_value());

    EXPECT_EQ(Decode({{L"MainDialogPlacement", EncodePlacement(rect)}}).MainDialogPlacement, rect);
    // An empty placement is not written at all.
    for (const NamedValue& value : EncodeSettings(SettingsRecord{})) {
        EXPECT_NE(value.Name, L"MainDialogPlacement");
    }
}

TEST(SettingsCodec, MultiStringWalk) {
    const std::vector<std::wstring> list = {L"svchost.exe", L"*.tmp", L"a?c.exe"};
    const StoredValue encoded = EncodeMultiString(list);
    EXPECT_EQ(encoded.Type, kRegMultiSz);
    EXPECT_EQ(encoded.Bytes.size(), 2u * ((11 + 1) + (5 + 1) + (7 + 1) + 1));
    EXPECT_EQ(DecodeMultiString(encoded), list);

    // The empty list is one NUL, too short to count: nothing replaces the list in memory.
    EXPECT_EQ(EncodeMultiString({}).Bytes.size(), 2u);
    const SettingsRecord kept = Decode({{L"Exclusions", EncodeMultiString({})}}, Make([](SettingsRecord& r) { r.Exclusions = {L"x"}; }));
    EXPECT_EQ(kept.Exclusions, std::vector<std::wstring>{L"x"});

    // The walk stops at the first empty string and never reads past the data.
    EXPECT_EQ(DecodeMultiString(Units(kRegMultiSz, std::u16string(u"a\0\0b\0\0", 6))),
              std::vector<std::wstring>{L"a"});
    EXPECT_EQ(DecodeMultiString(Units(kRegMultiSz, std::u16string(u"ab\0cd", 5))), (std::vector<std::wstring>{L"ab", L"cd"}));
    EXPECT_EQ(DecodeMultiString(Units(kRegMultiSz, std::u16string(u"\0a\0\0", 4))), std::vector<std::wstring>{});
    // A leading NUL of at least three bytes is an empty list that does replace the old one.
    EXPECT_EQ(Decode({{L"Exclusions", Units(kRegMultiSz, std::u16string(u"\0\0", 2))}},
                     Make([](SettingsRecord& r) { r.Exclusions = {L"x"}; }))
                  .Exclusions,
              std::vector<std::wstring>{});

    // Another type, fewer than three bytes or a stray byte: ignored.
    EXPECT_FALSE(DecodeMultiString(EncodeText(L"svchost.exe")).has_value());
    EXPECT_FALSE(DecodeMultiString(Raw(kRegMultiSz, {'a', 0})).has_value());
    EXPECT_FALSE(DecodeMultiString(Raw(kRegMultiSz, {'a', 0, 0, 0, 0})).has_value());
}

TEST(SettingsCodec, SaveWritesEveryFieldInOrderAndSkipsEmptyPaths) {
    SettingsRecord record;
    record.PollIntervalMs = 1500;
    record.SoundFilePath = L"C:\\ding.wav";
    record.MainDialogPlacement = {1, 2, 300, 400};
    std::vector<std::wstring> names;
    for (const NamedValue& value : EncodeSettings(record)) {
        names.push_back(value.Name);
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"PollIntervalMs", L"AlertActions", L"NotificationThrottleSec",
                                                L"UpdateCheckIntervalHours", L"IncludeBetas", L"SoundFilePath",
                                                L"Exclusions", L"MainDialogPlacement"}));

    // What a save writes reads back as the same record.
    record.LogFilePath = L"D:\\logs\\alerts.log";
    record.Exclusions = {L"explorer.exe", L"\u00e9*.exe"};
    Store store;
    for (const NamedValue& value : EncodeSettings(record)) {
        store[value.Name] = value.Value;
    }
    EXPECT_EQ(Decode(store), record);
    EXPECT_EQ(DefaultLogFilePath(L"C:\\Users\\u\\AppData\\Roaming"),
              L"C:\\Users\\u\\AppData\\Roaming\\Watchkeep\\alerts.log");
}
