#pragma once

#include <windows.h>

#include "settings/app_settings.h"

// Edits the exclusion list of the settings in the IDD_EXCLUSIONS dialog, modal to owner: OK replaces
// the list whole with the patterns typed one per line and saves the settings; Cancel changes nothing.
void RunExclusionsDialog(HWND owner, AppSettings& settings);
