#include "alerts/gui_alert_sink_win.h"

#include <utility>

#include "res/resource.h"

int32_t GUIAlertSink::OnAlert(const AlertRecord& record) {
    // A null window would post to this thread's own queue, where nobody reads UWM_ALERT.
    const HWND target = target_.load();
    if (!target) {
        return 0;
    }
    if (everyAlert_) {
        everyAlert_(record);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.size() >= kMaxQueuedAlerts) {
            ++dropped_;
            return 1;
        }
        queue_.push_back(record);
        // A message is on its way already for the records before this one.
        if (queue_.size() > 1) {
            return 1;
        }
    }
    const BOOL posted = PostMessageW(target, UWM_ALERT, 0, 0);
    if (!posted) {
        // Nobody will come for them.
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
    }
    return posted;
}

std::vector<AlertRecord> GUIAlertSink::TakeQueued(size_t& dropped) {
    std::deque<AlertRecord> taken;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        taken.swap(queue_);
        dropped = std::exchange(dropped_, 0);
    }
    return {std::make_move_iterator(taken.begin()), std::make_move_iterator(taken.end())};
}
