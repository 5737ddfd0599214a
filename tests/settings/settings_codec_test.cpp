#include <gtest/gtest.h>

#include <climits>
#include <map>

#include "settings/settings_codec.h"

namespace {

using namespace std::string_view_literals;
using List = std::vector<std::wstring>;

SettingsRecord Decode(const std::map<std::wstring, StoredValue>& store, SettingsRecord record = {}) {
    DecodeSettings(
        [&store](const std::wstring& name) {
            const auto found = store.find(name);
            return found == store.end() ? std::optional<StoredValue>() : found->second;
        },
        record);
    return record;
}

// Little-endian UTF-16 bytes of the given units, as the registry stores text.
StoredValue Units(uint32_t type, std::u16string_view units) {
    StoredValue value{type, {}};
    for (const char16_t unit : units) {
        value.Bytes.insert(value.Bytes.end(), {static_cast<uint8_t>(unit & 0xFF), static_cast<uint8_t>(unit >> 8)});
    }
    return value;
}

}  // namespace

TEST(SettingsCodec, NumbersAreAcceptedWithinTheirRangesWhateverTheTypeButNotTheSize) {
    const std::wstring poll = L"PollIntervalMs", actions = L"AlertActions", throttle = L"NotificationThrottleSec",
                       update = L"UpdateCheckIntervalHours";
    const StoredValue eightBytes{kRegDword, {1, 0, 0, 0, 0, 0, 0, 0}};
    const auto numbers = [&](uint32_t pollMs, uint32_t throttleSec, uint32_t updateHours, StoredValue actionMask) {
        return std::map<std::wstring, StoredValue>{{poll, EncodeDword(pollMs)},
                                                   {throttle, EncodeDword(throttleSec)},
                                                   {update, EncodeDword(updateHours)},
                                                   {actions, actionMask}};
    };
    const std::pair<std::map<std::wstring, StoredValue>, SettingsRecord> cases[] = {
        // Just outside each range, and eight bytes where four belong: every default stays.
        {numbers(499, 0, 48, eightBytes), {}},
        {numbers(30001, 3601, 0, eightBytes), {}},
        {numbers(500, 1, 72, EncodeDword(~0u)), {500, ~0u, 1, 72, true, {}, {}, {}, {}}},
        {numbers(30000, 3600, 168, EncodeDword(0)), {30000, 0, 3600, 168, true, {}, {}, {}, {}}},
        // Any type of up to four bytes reads as a number, zero-extended.
        {{{poll, {kRegBinary, {0xE8, 0x03}}}, {actions, {kRegSz, {5}}}, {L"IncludeBetas", {kRegDword, {}}}},
         {1000, 5, 30, 24, false, {}, {}, {}, {}}},
    };
    for (const auto& [store, expected] : cases) {
        EXPECT_EQ(Decode(store), expected) << "row with poll interval " << *DecodeDword(store.at(poll));
    }
    SettingsRecord noBetas;
    noBetas.IncludeBetas = false;
    const SettingsRecord betas = Decode({{L"IncludeBetas", EncodeDword(7)}}, noBetas);
    EXPECT_TRUE(betas.IncludeBetas);
    EXPECT_EQ(EncodeSettings(betas)[4].Value.Bytes, EncodeDword(1).Bytes);
}

TEST(SettingsCodec, PathsFitTheirBufferAndStopAtTheFirstNul) {
    const std::pair<StoredValue, std::optional<std::wstring>> cases[] = {
        {EncodeText(std::wstring(259, L'a')), std::wstring(259, L'a')},
        // 260 characters and the terminator need 522 bytes: the read fails.
        {EncodeText(std::wstring(260, L'b')), std::nullopt},
        // Without a terminator, 260 characters fill the buffer exactly and are taken whole.
        {Units(kRegSz, std::u16string(260, u'c')), std::wstring(260, L'c')},
        {Units(kRegSz, u"C:\\a.wav\0junk"sv), L"C:\\a.wav"},
        {{kRegSz, {'A', 0, 'B'}}, L"AB"},  // a stray byte is a unit's low half
    };
    for (const auto& [stored, expected] : cases) {
        EXPECT_EQ(DecodePath(stored), expected) << stored.Bytes.size() << " bytes";
    }
    // A failed read keeps the field; an empty stored path replaces it.
    SettingsRecord before;
    before.LogFilePath = L"C:\\old.log";
    before.SoundFilePath = L"C:\\old.wav";
    const SettingsRecord after =
        Decode({{L"LogFilePath", EncodeText(std::wstring(260, L'b'))}, {L"SoundFilePath", EncodeText(L"")}}, before);
    EXPECT_EQ(after.LogFilePath + L"|" + after.SoundFilePath, L"C:\\old.log|");
}

TEST(SettingsCodec, PlacementNeedsSixteenBytesAndAPositiveArea) {
    const PlacementRect rect{-1200, 10, -200, 700};
    EXPECT_EQ(Decode({{L"MainDialogPlacement", EncodePlacement(rect)}}).MainDialogPlacement, rect);
    // Empty, upside down, and a width that would wrap to positive in 32 bits.
    for (const PlacementRect& bad :
         {PlacementRect{10, 10, 10, 20}, PlacementRect{10, 20, 30, 19}, PlacementRect{1, 0, INT32_MIN, 10}}) {
        EXPECT_FALSE(DecodePlacement(EncodePlacement(bad))) << bad.Left << "," << bad.Right;
    }
    StoredValue sized = EncodePlacement(rect);
    sized.Bytes.push_back(0);
    EXPECT_FALSE(DecodePlacement(sized));
    sized.Bytes.resize(12);
    EXPECT_FALSE(DecodePlacement(sized));
    // Neither an empty placement nor empty paths are saved: the defaults are five numbers and the list.
    EXPECT_EQ(EncodeSettings(SettingsRecord{}).size(), 6u);
}

TEST(SettingsCodec, MultiStringWalk) {
    const List list = {L"svchost.exe", L"*.tmp", L"a?c.exe"};
    EXPECT_EQ(EncodeMultiString(list).Bytes.size(), 2u * ((11 + 1) + (5 + 1) + (7 + 1) + 1));
    const std::pair<StoredValue, std::optional<List>> cases[] = {
        {EncodeMultiString(list), list},
        // The walk stops at the first empty string and never reads past the data.
        {Units(kRegMultiSz, u"a\0\0b\0\0"sv), List{L"a"}},
        {Units(kRegMultiSz, u"ab\0cd"sv), List{L"ab", L"cd"}},
        {Units(kRegMultiSz, u"\0a\0\0"sv), List{}},
        // Another type, fewer than three bytes (the saved empty list) or a stray byte: ignored.
        {EncodeText(L"svchost.exe"), std::nullopt},
        {EncodeMultiString({}), std::nullopt},
        {{kRegMultiSz, {'a', 0, 0, 0, 0}}, std::nullopt},
    };
    for (const auto& [stored, expected] : cases) {
        EXPECT_EQ(DecodeMultiString(stored), expected) << stored.Bytes.size() << " bytes";
    }
    // Only a value that decodes replaces the list, then also with an empty one.
    SettingsRecord before;
    before.Exclusions = {L"x"};
    EXPECT_EQ(Decode({{L"Exclusions", EncodeMultiString({})}}, before).Exclusions, List{L"x"});
    EXPECT_EQ(Decode({{L"Exclusions", Units(kRegMultiSz, u"\0\0"sv)}}, before).Exclusions, List{});
}
