#pragma once

#include <windows.h>
#include <wininet.h>

#include "base/handles_win.h"

// WinINet's root, connection and request handles.
using UniqueHInternet = UniqueNullHandle<HINTERNET, InternetCloseHandle>;
