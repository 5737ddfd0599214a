#pragma once

#include <windows.h>

// Shows the modeless "Checking for updates..." dialog on the calling thread, which must dispatch
// its messages, and keeps its handle in *handle; Cancel destroys it and clears *handle without
// stopping the check. Null when the dialog cannot be created.
HWND ShowUpdateProgressDialog(HWND* handle);
