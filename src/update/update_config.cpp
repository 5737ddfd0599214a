#include "update/update_config.h"

std::wstring BuiltInUpdateServer() {
    return L"https://" WATCHKEEP_UPDATE_HOST;
}

std::wstring BuiltInUpdateSigners() {
    return WATCHKEEP_UPDATE_SIGNERS;
}
