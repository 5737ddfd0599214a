#pragma once

#include <string>

#include "base/shared_value.h"

// The newest version the last update check reported; "0.0.0.0" until a check has finished.
extern SharedValue<std::wstring> latestVersion;

// The update server's base address, "https://" and the host the build was configured with; tests
// point it at a server of their own.
extern SharedValue<std::wstring> updateServer;
