#include <cstddef>
#include <cstdint>
#include <string>

#include "base/utf8.h"
#include "update/version.h"

// Any reply filters to digits and dots only, filtering is idempotent, and the packed number is
// the same for the filtered text and for its display form with " BETA" after it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring reply = Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::wstring kept = FilterVersionText(reply);
    if (kept.find_first_not_of(L"0123456789.") != std::wstring::npos || FilterVersionText(kept) != kept) {
        __builtin_trap();
    }
    const uint32_t number = ParseVersion(kept.c_str());
    if (kept.size() >= 7 && ParseVersion((kept + L" BETA").c_str()) != number) {
        __builtin_trap();
    }
    ParseVersion(reply.c_str());
    return 0;
}
