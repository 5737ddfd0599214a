#pragma once

#include <windows.h>
#include <wininet.h>

#include "base/win_handles.h"

// WinINet's root, connection and request handles.
using UniqueHInternet = UniqueNullHandle<HINTERNET, InternetCloseHandle>;
