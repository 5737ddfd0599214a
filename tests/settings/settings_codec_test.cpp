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

// The settings_codec fuzz target holds each number to its range and to four bytes at most.
TEST(SettingsCodec, NumbersReadAnyTypeZeroExtendedAndBetasSaveAsOne) {
    const SettingsRecord read = Decode({{L"PollIntervalMs", {kRegBinary, {0xE8, 0x03}}},
                                        {L"AlertActions", {kRegSz, {5}}},
                                        {L"IncludeBetas", {kRegDword, {}}}});
    EXPECT_EQ(read, (SettingsRecord{.PollIntervalMs = 1000, .AlertActions = 5, .IncludeBetas = false}));
    EXPECT_EQ(EncodeSettings(Decode({{L"IncludeBetas", EncodeDword(7)}}, read))[4].Value.Bytes, EncodeDword(1).Bytes);
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
    const SettingsRecord after =
        Decode({{L"LogFilePath", EncodeText(std::wstring(260, L'b'))}, {L"SoundFilePath", EncodeText(L"")}},
               {.LogFilePath = L"C:\\old.log", .SoundFilePath = L"C:\\old.wav"});
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
    // Neither an empty placement nor empty alert paths are saved: the defaults are five numbers, the
    // list and the metrics path, whose emptiness switches the metrics file off.
    EXPECT_EQ(EncodeSettings(SettingsRecord{}).size(), 7u);
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
    const SettingsRecord before{.Exclusions = {L"x"}};
    EXPECT_EQ(Decode({{L"Exclusions", EncodeMultiString({})}}, before).Exclusions, List{L"x"});
    EXPECT_EQ(Decode({{L"Exclusions", Units(kRegMultiSz, u"\0\0"sv)}}, before).Exclusions, List{});
}
