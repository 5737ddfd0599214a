#include <cstddef>
#include <cstdint>

#include "settings/settings_codec.h"

// Registry data is outside input: any bytes, under either text type, must decode without reading
// past the data, and a decoded list must encode back to bytes that decode to the same list.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const StoredValue multi{kRegMultiSz, std::vector<uint8_t>(data, data + size)};
    if (const auto list = DecodeMultiString(multi)) {
        bool anyEmpty = false;
        for (const auto& pattern : *list) {
            anyEmpty |= pattern.empty();
        }
        if (anyEmpty) {
            __builtin_trap();
        }
        if (!list->empty() && DecodeMultiString(EncodeMultiString(*list)) != list) {
            __builtin_trap();
        }
    }
    DecodePath(StoredValue{kRegSz, multi.Bytes});
    DecodePlacement(StoredValue{kRegBinary, multi.Bytes});
    DecodeDword(StoredValue{kRegDword, multi.Bytes});
    return 0;
}
