#include <cstddef>
#include <cstdint>
#include <string>

#include "base/utf8.h"
#include "rules/wildcard_match.h"

// Splits the input at the first NUL into pattern and name; the matcher must agree with
// simple invariants whatever the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t split = bytes.find('\0');
    const std::wstring pattern = Utf8ToWide(bytes.substr(0, split));
    const std::wstring name = split == std::string::npos ? std::wstring() : Utf8ToWide(bytes.substr(split + 1));

    const bool matched = WildcardMatch(name.c_str(), pattern.c_str());
    if (!WildcardMatch(name.c_str(), L"*")) {
        __builtin_trap();
    }
    // A name without wildcard characters matches itself as a pattern, in any ASCII case.
    if (name.find_first_of(L"*?") == std::wstring::npos && !WildcardMatch(name.c_str(), name.c_str())) {
        __builtin_trap();
    }
    // A leading star can only widen what matches.
    const std::wstring starred = L"*" + pattern;
    if (matched && !WildcardMatch(name.c_str(), starred.c_str())) {
        __builtin_trap();
    }
    return 0;
}
