#pragma once

#include <string>

// What the build was configured with: the update server's base address ("https://" and the host)
// and the SHA-256 thumbprints of the certificates allowed to sign installers, ';'-separated.
std::wstring BuiltInUpdateServer();
std::wstring BuiltInUpdateSigners();
