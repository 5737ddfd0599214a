#include <cstddef>
#include <cstdint>
#include <string>

#include "base/utf8.h"
#include "fuzz_targets.h"
#include "update/version.h"

// Any reply filters to digits and dots only, filtering is idempotent, and the packed number is
// the same for the filtered text and for its display form with " BETA" after it.
bool VersionTextFuzz(const uint8_t* data, size_t size) {
    const std::wstring reply = Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::wstring kept = FilterVersionText(reply);
    if (kept.find_first_not_of(L"0123456789.") != std::wstring::npos || FilterVersionText(kept) != kept) {
        return false;
    }
    const uint32_t number = ParseVersion(kept.c_str());
    if (kept.size() >= 7 && ParseVersion((kept + L" BETA").c_str()) != number) {
        return false;
    }
    ParseVersion(reply.c_str());
    return true;
}
