#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Largest replies the update client accepts: a broken or hostile server must not fill memory.
inline constexpr uint32_t kVersionTextMaxBytes = 4 * 1024;
inline constexpr uint32_t kInstallerMaxBytes = 64 * 1024 * 1024;

inline constexpr wchar_t kInstallerFileName[] = L"watchkeepsetup.exe";

// Where the version text and the installer of the selected channel are published, below the
// server's base address ("https://host").
std::wstring VersionInfoUrl(const std::wstring& server, bool includeBetas);
std::wstring InstallerUrl(const std::wstring& server, bool includeBetas);

// The installer's folder and file under the temporary folder, which may or may not end in a
// backslash: "<temp>\Watchkeep" and "<temp>\Watchkeep\watchkeepsetup.exe".
std::wstring InstallerFolder(std::wstring tempFolder);
std::wstring InstallerPath(const std::wstring& tempFolder);

// Whether an address is an https:// one: the update client talks to nothing else.
bool IsHttpsAddress(std::wstring_view url);
