#include "update/signer_pin.h"

namespace {

// Hex digits only, upper case: the forms openssl and the certificate dialogs print compare equal.
std::wstring Normalized(std::wstring_view text) {
    std::wstring kept;
    for (const wchar_t c : text) {
        if ((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')) {
            kept.push_back(c);
        } else if (c >= L'a' && c <= L'f') {
            kept.push_back(static_cast<wchar_t>(c - L'a' + L'A'));
        }
    }
    return kept;
}

}  // namespace

std::wstring HexThumbprint(const uint8_t* digest, size_t size) {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring hex;
    for (size_t i = 0; i < size; ++i) {
        hex.push_back(kDigits[digest[i] >> 4]);
        hex.push_back(kDigits[digest[i] & 0xF]);
    }
    return hex;
}

bool SignerAllowed(std::wstring_view allowedList, std::wstring_view thumbprint) {
    const std::wstring wanted = Normalized(thumbprint);
    if (wanted.size() != 64) {
        return false;
    }
    for (size_t start = 0; start <= allowedList.size();) {
        size_t end = allowedList.find_first_of(L";,", start);
        if (end == std::wstring_view::npos) {
            end = allowedList.size();
        }
        if (Normalized(allowedList.substr(start, end - start)) == wanted) {
            return true;
        }
        start = end + 1;
    }
    return false;
}
