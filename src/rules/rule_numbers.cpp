#include "rules/rule_numbers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "base/c_scan.h"

namespace {

// The longest run of ASCII characters a number could be made of, narrowed for from_chars/strtod.
template <typename CharT>
std::string NumberCandidate(const CharT* begin, const CharT* end) {
    std::string narrow;
    for (const CharT* p = begin; p != end; ++p) {
        const auto c = static_cast<std::make_unsigned_t<CharT>>(*p);
        const bool numeric = IsCDigit(c) || c == '.' || c == '+' || c == '-' || c == '(' || c == ')' || c == '_' ||
                             (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!numeric) {
            break;
        }
        narrow.push_back(static_cast<char>(c));
    }
    return narrow;
}

template <typename CharT>
bool ReadDouble(std::basic_string_view<CharT> text, size_t& pos, double& value) {
    size_t i = pos;
    const bool negative = SkipCBlanksAndSign(text, i);
    // Numbers are short; a bounded look-ahead keeps a huge run of letters from being copied.
    const size_t limit = std::min(text.size(), i + 4096);
    const std::string candidate = NumberCandidate(text.data() + i, text.data() + limit);
    if (candidate.empty() || candidate[0] == '+' || candidate[0] == '-') {
        return false;
    }
    double parsed = 0.0;
    size_t used = 0;
    const bool hex = candidate.size() > 1 && candidate[0] == '0' && (candidate[1] == 'x' || candidate[1] == 'X');
    const auto [end, error] = std::from_chars(candidate.data(), candidate.data() + candidate.size(), parsed);
    if (!hex && error == std::errc()) {
        used = static_cast<size_t>(end - candidate.data());
    } else if (hex || error == std::errc::result_out_of_range) {
        // Rare forms: strtod decides (the program never changes the "C" locale).
        char* stop = nullptr;
        parsed = std::strtod(candidate.c_str(), &stop);
        used = static_cast<size_t>(stop - candidate.c_str());
    }
    if (used == 0) {
        return false;
    }
    value = negative ? -parsed : parsed;
    pos = i + used;
    return true;
}

}  // namespace

bool ReadCUnsigned(std::wstring_view text, size_t& pos, uint32_t& value) {
    size_t i = pos;
    const bool negative = SkipCBlanksAndSign(text, i);
    if (i >= text.size() || !IsCDigit(text[i])) {
        return false;
    }
    uint64_t accumulated = 0;
    bool saturated = false;
    for (; i < text.size() && IsCDigit(text[i]); ++i) {
        const uint64_t digit = static_cast<uint64_t>(text[i] - L'0');
        if (accumulated > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
            saturated = true;
        } else {
            accumulated = accumulated * 10 + digit;
        }
    }
    if (saturated) {
        accumulated = std::numeric_limits<uint64_t>::max();
    } else if (negative) {
        accumulated = 0 - accumulated;
    }
    value = static_cast<uint32_t>(accumulated);
    pos = i;
    return true;
}

bool ReadCDouble(std::wstring_view text, size_t& pos, double& value) {
    return ReadDouble(text, pos, value);
}
bool ReadCDouble(std::string_view text, size_t& pos, double& value) {
    return ReadDouble(text, pos, value);
}

uint64_t MegabytesToBytes(double megabytes) {
    const double bytes = megabytes * 1024.0 * 1024.0;
    if (!std::isfinite(bytes) || bytes <= 0.0) {
        return 0;
    }
    if (bytes >= 18446744073709551616.0) {
        return std::numeric_limits<uint64_t>::max();
    }
    return static_cast<uint64_t>(bytes);
}

uint32_t TruncateToUint32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    int64_t whole = 0;
    if (value >= 9223372036854775808.0) {
        whole = std::numeric_limits<int64_t>::max();
    } else if (value <= -9223372036854775808.0) {
        whole = std::numeric_limits<int64_t>::min();
    } else {
        whole = static_cast<int64_t>(value);
    }
    return static_cast<uint32_t>(static_cast<uint64_t>(whole));
}

void AppendUnsigned(std::string& out, uint64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendOneDecimal(std::string& out, double value) {
    // Fixed notation of the largest double needs 309 digits plus sign, point and decimal.
    char buffer[320];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    out.append(buffer, result.ptr);
}
