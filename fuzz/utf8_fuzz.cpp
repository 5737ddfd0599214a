#include <cstddef>
#include <cstdint>
#include <string>

#include "base/utf8.h"
#include "fuzz_targets.h"

// Any bytes decode without a crash; what decodes re-encodes to valid UTF-8 that decodes the same.
bool Utf8Fuzz(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring wide = Utf8ToWide(SkipUtf8Bom(bytes));
    const std::string utf8 = WideToUtf8(wide);
    if (Utf8ToWide(utf8) != wide) {
        return false;
    }
    if (WideToUtf8(Utf8ToWide(utf8)) != utf8) {
        return false;
    }
    return true;
}
