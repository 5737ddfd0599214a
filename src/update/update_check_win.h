#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

// Fetches a URL into bytes (replacing them) on the caller's thread: true with the body of a reply
// whose status is 200 or unknown, also an empty one. False, bytes untouched, when WinINet cannot
// open the URL (or it is not an https:// one), the status is another one, or the body grows beyond maxBytes.
bool DownloadToMemory(const std::wstring& url, uint32_t maxBytes, std::string& bytes);

// One update check, blocking the calling thread: asks the server of the selected channel for its
// newest version. The filtered version text, or the display version when it could not be fetched or
// was not a version; nothing when update checks are switched off in the registry.
std::optional<std::wstring> CheckForUpdate(const std::wstring& server, bool includeBetas);
