#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The SHA-256 thumbprint of a certificate as upper-case hex, 64 characters.
std::wstring HexThumbprint(const uint8_t* digest, size_t size);

// Whether a thumbprint is one of the allowed signers: thumbprints separated by ';' or ',', in any case,
// with or without ':' between bytes and blanks around them. An empty list allows no one.
bool SignerAllowed(std::wstring_view allowedList, std::wstring_view thumbprint);
