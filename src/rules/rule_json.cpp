#include "rules/rule_json.h"

#include <array>
#include <optional>

#include "base/c_scan.h"
#include "base/utf16.h"
#include "base/utf8.h"
#include "rules/rule_numbers.h"
#include "rules/rule_pattern.h"

namespace {

constexpr size_t kNone = std::string_view::npos;

size_t SkipBlanks(std::string_view text, size_t pos) {
    SkipCBlanks(text, pos);
    return pos;
}

// Index just past the string whose opening quote is at text[open]; kNone when it never closes.
size_t StringEnd(std::string_view text, size_t open) {
    for (size_t i = open + 1; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            return i + 1;
        }
    }
    return kNone;
}

// The next `wanted` at or after `from` that is not inside a string.
size_t FindOutsideStrings(std::string_view text, size_t from, char wanted) {
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] == wanted) {
            return i;
        }
        if (text[i] == '"') {
            const size_t end = StringEnd(text, i);
            if (end == kNone) {
                return kNone;
            }
            i = end - 1;
        }
    }
    return kNone;
}

// Visits every key (a string followed by ':') of the object that starts at `begin`, with its raw
// text and the position after the colon, up to the first '}' outside strings. Returns that '}',
// or kNone when the object never closes or the visitor asked to stop.
template <typename Visit>
size_t ScanObject(std::string_view text, size_t begin, Visit&& visit) {
    for (size_t i = begin; i < text.size(); ++i) {
        if (text[i] == '}') {
            return i;
        }
        if (text[i] != '"') {
            continue;
        }
        const size_t end = StringEnd(text, i);
        if (end == kNone) {
            return kNone;
        }
        const size_t after = SkipBlanks(text, end);
        if (after < text.size() && text[after] == ':' && !visit(text.substr(i + 1, end - i - 2), after + 1)) {
            return kNone;
        }
        i = end - 1;
    }
    return kNone;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Four hex digits at text[pos]; -1 when they are not there.
int32_t ReadHex4(std::string_view text, size_t pos) {
    if (pos + 4 > text.size()) {
        return -1;
    }
    int32_t value = 0;
    for (size_t i = pos; i < pos + 4; ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) {
            return -1;
        }
        value = value * 16 + digit;
    }
    return value;
}

std::optional<wchar_t> SimpleEscape(char escape) {
    switch (escape) {
    case '"': return L'"';
    case '\\': return L'\\';
    case '/': return L'/';
    case 'b': return L'\b';
    case 'f': return L'\f';
    case 'n': return L'\n';
    case 'r': return L'\r';
    case 't': return L'\t';
    default: return std::nullopt;
    }
}

// The code point of a \u escape whose 'u' is at text[pos]; pos ends on its last hex digit. A
// surrogate pair written as two escapes is one character; a lone surrogate becomes U+FFFD.
std::optional<char32_t> ReadUnicodeEscape(std::string_view text, size_t& pos) {
    const int32_t unit = ReadHex4(text, pos + 1);
    if (unit < 0) {
        return std::nullopt;
    }
    pos += 4;
    if (!IsSurrogate(static_cast<uint32_t>(unit))) {
        return static_cast<char32_t>(unit);
    }
    if (IsHighSurrogate(static_cast<uint32_t>(unit)) && pos + 2 < text.size() && text[pos + 1] == '\\' &&
        text[pos + 2] == 'u') {
        const int32_t low = ReadHex4(text, pos + 3);
        if (low >= 0 && IsLowSurrogate(static_cast<uint32_t>(low))) {
            pos += 6;
            return CombineSurrogates(static_cast<uint32_t>(unit), static_cast<uint32_t>(low));
        }
    }
    return 0xFFFD;
}

// The string whose opening quote is at text[open], escapes decoded; a raw CR LF reads as LF, as
// a text-mode reader delivers it. An unknown escape stays as it stands.
std::optional<std::wstring> DecodeString(std::string_view text, size_t open) {
    const size_t end = StringEnd(text, open);
    if (end == kNone) {
        return std::nullopt;
    }
    const std::string_view raw = text.substr(open + 1, end - open - 2);
    if (raw.find_first_of("\\\r") == kNone) {
        return Utf8ToWide(raw);
    }
    std::wstring out;
    size_t runStart = 0;
    auto flushRun = [&](size_t runEnd) { out += Utf8ToWide(raw.substr(runStart, runEnd - runStart)); };
    for (size_t i = 0; i < raw.size();) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            flushRun(i);
            runStart = ++i;
            continue;
        }
        if (raw[i] != '\\') {
            ++i;
            continue;
        }
        flushRun(i);
        // A backslash is never the last character: the quote after it would be escaped.
        const char escape = raw[i + 1];
        if (const auto simple = SimpleEscape(escape)) {
            out.push_back(*simple);
            runStart = i += 2;
            continue;
        }
        size_t last = i + 1;
        if (escape == 'u') {
            if (const auto cp = ReadUnicodeEscape(raw, last)) {
                AppendCodePoint(out, *cp);
                runStart = i = last + 1;
                continue;
            }
        }
        runStart = i;  // unknown escape: the backslash and the escaped character stay as they stand
        i += 2;
    }
    flushRun(raw.size());
    return out;
}

std::optional<std::wstring> StringValueAt(std::string_view text, size_t valuePos) {
    const size_t open = SkipBlanks(text, valuePos);
    if (open >= text.size() || text[open] != '"') {
        return std::nullopt;
    }
    return DecodeString(text, open);
}

// The position just past the first "rules" string of the text.
size_t FindRulesKey(std::string_view text) {
    constexpr std::string_view kRulesKey = "\"rules\"";
    for (size_t i = FindOutsideStrings(text, 0, '"'); i != kNone;) {
        if (text.substr(i, kRulesKey.size()) == kRulesKey) {
            return i + kRulesKey.size();
        }
        const size_t end = StringEnd(text, i);
        if (end == kNone) {
            return kNone;
        }
        i = FindOutsideStrings(text, end, '"');
    }
    return kNone;
}

enum Key : size_t {
    kProcessPattern,
    kEnabled,
    kMaxHandles,
    kMaxWorkingSetMB,
    kMaxPrivateBytesMB,
    kMaxCPUPercent,
    kMaxThreads,
    kMaxGDIObjects,
    kMaxUSERObjects,
    kAlertActions,
    kCooldownSeconds,
    kSustainSec,
    kKeyCount
};

constexpr std::array<std::string_view, kKeyCount> kKeyNames = {
    "processPattern", "enabled",       "maxHandles",     "maxWorkingSetMB", "maxPrivateBytesMB", "maxCPUPercent",
    "maxThreads",     "maxGDIObjects", "maxUSERObjects", "alertActions",    "cooldownSeconds",   "sustainSec"};

double NumberAt(std::string_view text, size_t valuePos) {
    double value = 0.0;
    ReadCDouble(text, valuePos, value);  // no number: 0, as strtod gives
    return value;
}

// One rule from the object starting after text[open]; the '}' that ends it in `close`.
std::optional<ThresholdRule> ReadRuleObject(std::string_view text, size_t open, size_t& close) {
    std::array<size_t, kKeyCount> valueAt;
    valueAt.fill(kNone);
    bool bareTrue = false;
    close = ScanObject(text, open + 1, [&](std::string_view key, size_t valuePos) {
        for (size_t k = 0; k < kKeyCount; ++k) {
            if (key != kKeyNames[k]) {
                continue;
            }
            if (valueAt[k] == kNone) {
                valueAt[k] = valuePos;  // the first occurrence counts
            }
            if (k == kEnabled) {
                const size_t literal = SkipBlanks(text, valuePos);
                bareTrue = bareTrue || text.substr(literal, 4) == "true";  // any occurrence
            }
            break;
        }
        return true;
    });
    if (close == kNone || valueAt[kProcessPattern] == kNone) {
        return std::nullopt;
    }
    auto pattern = StringValueAt(text, valueAt[kProcessPattern]);
    if (!pattern || !IsStorablePattern(*pattern)) {
        return std::nullopt;
    }
    ThresholdRule rule;
    rule.ProcessPattern = std::move(*pattern);
    bool enabled = bareTrue;
    if (!enabled && valueAt[kEnabled] != kNone) {
        const auto word = StringValueAt(text, valueAt[kEnabled]);
        enabled = word && (*word == L"true" || *word == L"1");
    }
    rule.Enabled = enabled;
    auto number = [&](Key k, auto apply) {
        if (valueAt[k] != kNone) {
            apply(NumberAt(text, valueAt[k]));
        }
    };
    number(kMaxHandles, [&](double v) { rule.MaxHandles = TruncateToUint32(v); });
    number(kMaxWorkingSetMB, [&](double v) { rule.MaxWorkingSetBytes = MegabytesToBytes(v); });
    number(kMaxPrivateBytesMB, [&](double v) { rule.MaxPrivateBytes = MegabytesToBytes(v); });
    number(kMaxCPUPercent, [&](double v) { rule.MaxCPU = v; });
    number(kMaxThreads, [&](double v) { rule.MaxThreads = TruncateToUint32(v); });
    number(kMaxGDIObjects, [&](double v) { rule.MaxGDI = TruncateToUint32(v); });
    number(kMaxUSERObjects, [&](double v) { rule.MaxUSER = TruncateToUint32(v); });
    number(kAlertActions, [&](double v) { rule.AlertActions = TruncateToUint32(v); });
    number(kCooldownSeconds, [&](double v) { rule.CooldownSec = TruncateToUint32(v); });
    number(kSustainSec, [&](double v) { rule.SustainSec = TruncateToUint32(v); });
    return rule;
}

void AppendKeyLine(std::string& out, std::string_view key) {
    out += "      \"";
    out += key;
    out += "\": ";
}

}  // namespace

std::wstring JsonEscape(std::wstring_view text) {
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring out;
    out.reserve(text.size() + 8);
    for (const wchar_t c : text) {
        switch (c) {
        case L'\\': out += L"\\\\"; break;
        case L'"': out += L"\\\""; break;
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        case L'\t': out += L"\\t"; break;
        default:
            if (static_cast<uint32_t>(c) < 0x20) {
                out += L"\\u00";
                out.push_back(kHex[static_cast<uint32_t>(c) >> 4]);
                out.push_back(kHex[static_cast<uint32_t>(c) & 0xF]);
            } else {
                out.push_back(c);
            }
        }
    }
    return out;
}

std::string FormatRulesJson(const RuleList& rules) {
    std::string out;
    out.reserve(64 + rules.size() * 320);
    out += kUtf8Bom;
    out += "{\r\n  \"rules\": [\r\n";
    for (size_t i = 0; i < rules.size(); ++i) {
        const ThresholdRule& rule = rules[i];
        out += "    {\r\n";
        AppendKeyLine(out, "processPattern");
        out.push_back('"');
        out += WideToUtf8(JsonEscape(rule.ProcessPattern));
        out += "\",\r\n";
        AppendKeyLine(out, "enabled");
        out += rule.Enabled ? "true,\r\n" : "false,\r\n";
        AppendKeyLine(out, "maxHandles");
        AppendUnsigned(out, rule.MaxHandles);
        out += ",\r\n";
        AppendKeyLine(out, "maxWorkingSetMB");
        AppendOneDecimal(out, static_cast<double>(rule.MaxWorkingSetBytes) / static_cast<double>(kBytesPerMB));
        out += ",\r\n";
        AppendKeyLine(out, "maxPrivateBytesMB");
        AppendOneDecimal(out, static_cast<double>(rule.MaxPrivateBytes) / static_cast<double>(kBytesPerMB));
        out += ",\r\n";
        AppendKeyLine(out, "maxCPUPercent");
        AppendOneDecimal(out, rule.MaxCPU);
        out += ",\r\n";
        const std::pair<std::string_view, uint32_t> counts[] = {
            {"maxThreads", rule.MaxThreads},       {"maxGDIObjects", rule.MaxGDI},
            {"maxUSERObjects", rule.MaxUSER},      {"alertActions", rule.AlertActions},
            {"cooldownSeconds", rule.CooldownSec}, {"sustainSec", rule.SustainSec}};
        for (const auto& [key, value] : counts) {
            AppendKeyLine(out, key);
            AppendUnsigned(out, value);
            out += key == "sustainSec" ? "\r\n" : ",\r\n";
        }
        out += i + 1 < rules.size() ? "    },\r\n" : "    }\r\n";
    }
    out += "  ]\r\n}\r\n";
    return out;
}

bool ParseRulesJson(std::string_view bytes, RuleList& rules) {
    const std::string_view text = SkipUtf8Bom(bytes);
    size_t pos = FindRulesKey(text);
    if (pos == kNone) {
        return false;
    }
    RuleList found;
    // Every object after the key counts, also after the array's end; brackets are not looked at.
    for (size_t open = FindOutsideStrings(text, pos, '{'); open != kNone; open = FindOutsideStrings(text, pos, '{')) {
        size_t close = kNone;
        auto rule = ReadRuleObject(text, open, close);
        if (close == kNone) {
            break;
        }
        if (rule) {
            found.push_back(std::move(*rule));
        }
        pos = close + 1;
    }
    rules = std::move(found);
    return true;
}
