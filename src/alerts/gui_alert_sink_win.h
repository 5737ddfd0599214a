#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "monitor/alert_record.h"

// The bridge from the monitor thread to the main thread. Records wait in a queue the sink owns;
// the UWM_ALERT posted to the target window only says that there is work, so a message some other
// program posts carries nothing the receiver would trust.
class GUIAlertSink final : public IAlertSink {
public:
    // The window that receives UWM_ALERT; none until the tray window exists.
    void SetTarget(HWND window) { target_.store(window); }

    // Called on the monitor thread for every alert, before the queue's bound can drop it: the
    // alert's log line is never lost to a flood. Set before the engine starts.
    void SetEveryAlert(std::function<void(const AlertRecord&)> everyAlert) { everyAlert_ = std::move(everyAlert); }

    // Queues the record and, when the queue was empty, posts UWM_ALERT to the target: one message
    // per batch, however many alerts a pass raises. Beyond kMaxQueuedAlerts a record is only
    // counted. Returns 0 when there is no target or the post failed (the record is then dropped).
    int32_t OnAlert(const AlertRecord& record) override;

    // Main thread: the queued records, oldest first, and an empty queue; dropped gets the number
    // of records the bound dropped since the last call.
    std::vector<AlertRecord> TakeQueued(size_t& dropped);

    // More than the history keeps: a flood's newest records still fill it.
    static constexpr size_t kMaxQueuedAlerts = 2000;

private:
    std::atomic<HWND> target_{nullptr};
    std::function<void(const AlertRecord&)> everyAlert_;
    std::mutex mutex_;
    std::deque<AlertRecord> queue_;
    size_t dropped_ = 0;
};
