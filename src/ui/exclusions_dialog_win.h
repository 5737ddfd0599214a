#pragma once

#include <windows.h>

// Edits the exclusion list in the IDD_EXCLUSIONS dialog, modal to owner: OK replaces the list whole with the
// patterns typed one per line and saves the settings; Cancel changes nothing.
void RunExclusionsDialog(HWND owner);
