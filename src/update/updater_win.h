#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "settings/app_settings.h"
#include "update/update_config.h"
#include "update/version.h"

// What a finished check found, for the window that reports it.
struct UpdateCheckResult {
    bool userAsked = false;
    bool newer = false;
    std::wstring latest;
};

// The update feature's one home: the server, the newest known version, one check and one installer
// at a time, and their threads. Its methods run on the thread of the result window, which the
// threads reach only by posting: UWM_UPDATE_CHECKED when a check ended, UWM_EXIT when the installer
// started, UWM_UPDATE_INSTALL_FAILED when it did not. At its end it waits a bounded time for
// them and leaves the rest behind; they hold only state they share with it.
class Updater {
public:
    // The settings (IncludeBetas) are read at every check and install; they outlive this.
    explicit Updater(const AppSettings& settings, std::wstring server = BuiltInUpdateServer(),
                     std::wstring runningVersion = kVersionText, std::wstring signers = BuiltInUpdateSigners());
    ~Updater();
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    void SetResultWindow(HWND window);
    void SetServer(std::wstring server) { server_ = std::move(server); }
    const std::wstring& Server() const { return server_; }

    // Starts a check unless one runs; a user's request during an automatic check makes its result
    // the user's. True when the running check is one the user asked for.
    bool RequestCheck(bool userAsked);
    bool CheckRunning() const { return checkRunning_; }
    // On UWM_UPDATE_CHECKED: the outcome; the check counts as running until it is taken.
    UpdateCheckResult TakeCheckResult();

    // The newest version the last check reported, "0.0.0.0" before one; and whether it is newer.
    // Both may be read from any thread.
    std::wstring LatestVersion() const;
    bool UpdateAvailable() const { return available_.load(); }

    // Downloads, checks and starts the installer of the latest version, unless one is under way.
    void StartInstall();
    // Runs on the installer thread while the checked file is held, just before the launch.
    std::function<void(const std::wstring& path)> beforeLaunch;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    const AppSettings& settings_;
    std::wstring server_;
    std::wstring runningVersion_;
    std::wstring signers_;
    bool checkRunning_ = false;
    bool userAsked_ = false;
    bool installRunning_ = false;
    std::atomic<bool> available_{false};
    std::thread check_;
    std::thread install_;
};
