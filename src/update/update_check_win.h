#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Fetches a URL into bytes (replacing them) on the caller's thread: true with the body of a reply
// whose status is 200 or unknown, also an empty one. False, bytes untouched, when WinINet cannot
// open the URL, the status is another one, or the body grows beyond maxBytes.
bool DownloadToMemory(const std::wstring& url, uint32_t maxBytes, std::string& bytes);

// Thread procedure of one update check: asks the server of the selected channel for its newest
// version, stores it in latestVersion and signals the given event (UpdateCheckDoneEvent, may be
// null). 1 when the version text could not be fetched, else 0.
DWORD WINAPI CheckForUpdate(LPVOID doneEvent);
