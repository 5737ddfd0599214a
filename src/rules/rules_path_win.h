#pragma once

#include <string>

// Full path of rules.csv in the user's roaming application-data folder (folder created), or the
// bare "rules.csv" when that folder cannot be determined.
std::wstring GetRulesFilePath();
