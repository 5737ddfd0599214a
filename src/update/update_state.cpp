#include "update/update_state.h"

SharedValue<std::wstring> latestVersion{L"0.0.0.0"};

SharedValue<std::wstring> updateServer{L"https://" WATCHKEEP_UPDATE_HOST};
