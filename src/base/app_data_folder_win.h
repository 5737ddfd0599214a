#pragma once

#include <string>

// The user's roaming application-data folder, empty when it cannot be determined.
std::wstring RoamingAppDataFolder();
