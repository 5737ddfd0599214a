#include "base/c_scan.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string>
#include <type_traits>

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
    CDigits digits;
    if (!ScanCDigits(text, pos, digits)) {
        return false;
    }
    const uint64_t wide = digits.Overflow ? UINT64_MAX : digits.Negative ? 0 - digits.Magnitude : digits.Magnitude;
    value = static_cast<uint32_t>(wide);
    return true;
}

bool ReadCDouble(std::wstring_view text, size_t& pos, double& value) {
    return ReadDouble(text, pos, value);
}
bool ReadCDouble(std::string_view text, size_t& pos, double& value) {
    return ReadDouble(text, pos, value);
}
