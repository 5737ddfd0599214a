#pragma once

#include <functional>
#include <string>

// What one installer download is checked against.
struct InstallerRequest {
    std::wstring server;
    bool includeBetas = false;
    // The version the check announced, and the running one: the installer must carry the first
    // and be newer than the second.
    std::wstring announcedVersion;
    std::wstring runningVersion;
    // SHA-256 thumbprints of the certificates allowed to sign it (see SignerAllowed).
    std::wstring signers;
    // Runs while the verified file is held, just before the launch; tests try to swap it there.
    std::function<void(const std::wstring& path)> beforeLaunch;
};

// Downloads the installer of the selected channel into "<temp>\Watchkeep", holds it against
// writers and deleters, checks its Authenticode signature, its signer and its version through that
// hold, marks the update and starts it with "/S" before letting go. True when it was started.
bool DownloadAndRunInstaller(const InstallerRequest& request);
