#include "update/updater_win.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

#include "base/debug_trace.h"
#include "base/exception_barrier.h"
#include "res/resource.h"
#include "update/installer_win.h"
#include "update/update_check_win.h"

namespace {

// Long enough for a thread between two steps, short enough that ending never looks hung; a thread
// still inside a 30-second network wait is left to the process's end.
constexpr auto kExitWait = std::chrono::milliseconds(3000);

}  // namespace

// What the threads share with the updater, kept alive by whichever of them ends last.
struct Updater::Shared {
    std::mutex mutex;
    std::condition_variable ended;
    int running = 0;
    HWND window = nullptr;
    std::wstring latest = L"0.0.0.0";
    std::atomic<bool> installing{false};

    void Post(UINT message) {
        std::lock_guard<std::mutex> lock(mutex);
        if (window) {
            PostMessageW(window, message, 0, 0);
        }
    }
    // Runs work on a new thread in slot; without a thread the outcome is posted at once.
    template <typename Work>
    static void Start(const std::shared_ptr<Shared>& shared, std::thread& slot, Work work, UINT failure) {
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            ++shared->running;
        }
        auto body = [shared, work = std::move(work)] {
            Guarded(L"Updater thread", false, [&] {
                work(*shared);
                return true;
            });
            std::lock_guard<std::mutex> lock(shared->mutex);
            --shared->running;
            shared->ended.notify_all();
        };
        try {
            slot = std::thread(std::move(body));
        } catch (const std::system_error&) {
            std::lock_guard<std::mutex> lock(shared->mutex);
            --shared->running;
            if (shared->window) {
                PostMessageW(shared->window, failure, 0, 0);
            }
        }
    }
};

Updater::Updater(const AppSettings& settings, std::wstring server, std::wstring runningVersion, std::wstring signers)
    : shared_(std::make_shared<Shared>()),
      settings_(settings),
      server_(std::move(server)),
      runningVersion_(std::move(runningVersion)),
      signers_(std::move(signers)) {}

Updater::~Updater() {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->window = nullptr;
    const bool ended = shared_->ended.wait_for(lock, kExitWait, [this] { return shared_->running == 0; });
    lock.unlock();
    for (std::thread* thread : {&check_, &install_}) {
        if (thread->joinable()) {
            ended ? thread->join() : thread->detach();
        }
    }
}

void Updater::SetResultWindow(HWND window) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->window = window;
}

bool Updater::RequestCheck(bool userAsked) {
    userAsked_ = userAsked_ || userAsked;
    if (checkRunning_) {
        DebugTrace(L"Update check already running");
        return userAsked_;
    }
    checkRunning_ = true;
    available_ = false;
    // The previous check posted its result before it was taken: its thread is ending or gone.
    if (check_.joinable()) {
        check_.join();
    }
    const bool includeBetas = settings_.IncludeBetas.load(std::memory_order_relaxed);
    Shared::Start(
        shared_, check_,
        [server = server_, includeBetas](Shared& shared) {
            const std::optional<std::wstring> latest = CheckForUpdate(server, includeBetas);
            if (latest) {
                std::lock_guard<std::mutex> lock(shared.mutex);
                shared.latest = *latest;
            }
            shared.Post(UWM_UPDATE_CHECKED);
        },
        UWM_UPDATE_CHECKED);
    return userAsked_;
}

UpdateCheckResult Updater::TakeCheckResult() {
    UpdateCheckResult result{userAsked_, false, LatestVersion()};
    result.newer = ParseVersion(result.latest.c_str()) > ParseVersion(runningVersion_.c_str());
    available_ = result.newer;
    checkRunning_ = false;
    userAsked_ = false;
    return result;
}

std::wstring Updater::LatestVersion() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->latest;
}

void Updater::StartInstall() {
    if (shared_->installing.exchange(true)) {
        DebugTrace(L"Installer already running");
        return;
    }
    if (install_.joinable()) {
        install_.join();
    }
    InstallerRequest request{server_,         settings_.IncludeBetas.load(std::memory_order_relaxed),
                             LatestVersion(), runningVersion_,
                             signers_,        beforeLaunch};
    Shared::Start(
        shared_, install_,
        [request = std::move(request)](Shared& shared) {
            const bool started = DownloadAndRunInstaller(request);
            shared.installing = false;
            shared.Post(started ? UWM_EXIT : UWM_UPDATE_INSTALL_FAILED);
        },
        UWM_UPDATE_INSTALL_FAILED);
}
