#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "fuzz_targets.h"
#include "rules/wildcard_match.h"

namespace {

// Only A to Z fold: '@' and '[' beside them, and accented letters, are matched exactly.
wchar_t Fold(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The plain reading of a pattern, prefix by prefix: '*' takes any run (also none), '?' one character.
bool ReferenceMatch(const std::wstring& name, const std::wstring& pattern) {
    std::vector<bool> matched(name.size() + 1, false);  // this much of the pattern matches name[0..j)
    matched[0] = true;
    for (const wchar_t p : pattern) {
        std::vector<bool> next(name.size() + 1, false);
        for (size_t j = 0; j <= name.size(); ++j) {
            next[j] = p == L'*' ? matched[j] || (j > 0 && next[j - 1])
                                : j > 0 && matched[j - 1] && (p == L'?' || Fold(p) == Fold(name[j - 1]));
        }
        matched = std::move(next);
    }
    return matched[name.size()];
}

}  // namespace

// Splits the input at the first NUL into pattern and name; the single-backtrack matcher must agree
// with the plain reading whatever the text.
bool WildcardMatchFuzz(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t split = bytes.find('\0');
    const std::wstring pattern = Utf8ToWide(bytes.substr(0, split)).c_str();
    const std::wstring name = split == std::string::npos ? L"" : Utf8ToWide(bytes.substr(split + 1)).c_str();
    if (WildcardMatch(name.c_str(), pattern.c_str()) != ReferenceMatch(name, pattern)) {
        return false;
    }
    return true;
}
