#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "alerts/alert_record.h"

// The bridge from the monitor thread to the main thread. Records wait in a queue the sink owns;
// the UWM_ALERT posted to the target window only says that there is work, so a message some other
// program posts carries nothing the receiver would trust.
class GUIAlertSink final : public IAlertSink {
public:
    // The window that receives UWM_ALERT; none until the tray window exists.
    void SetTarget(HWND window) { target_.store(window); }

    // Queues the record and posts UWM_ALERT to the target. Returns the post's result, 0 when
    // there is no target or the post failed (the record is then dropped, not kept for later).
    int32_t OnAlert(const AlertRecord& record) override;

    // Main thread: the queued records, oldest first, and an empty queue.
    std::vector<AlertRecord> TakeQueued();

private:
    std::atomic<HWND> target_{nullptr};
    std::mutex mutex_;
    std::deque<AlertRecord> queue_;
};
