#include "alerts/gui_alert_sink_win.h"

#include <algorithm>

#include "res/resource.h"

int32_t GUIAlertSink::OnAlert(const AlertRecord& record) {
    // A null window would post to this thread's own queue, where nobody reads UWM_ALERT.
    const HWND target = target_.load();
    if (!target) {
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(record);
    }
    const BOOL posted = PostMessageW(target, UWM_ALERT, 0, 0);
    if (!posted) {
        // Nobody will come for it: take this record back out (a later one may already follow it).
        std::lock_guard<std::mutex> lock(mutex_);
        const auto queued = std::find(queue_.rbegin(), queue_.rend(), record);
        if (queued != queue_.rend()) {
            queue_.erase(std::next(queued).base());
        }
    }
    return posted;
}

std::vector<AlertRecord> GUIAlertSink::TakeQueued() {
    std::deque<AlertRecord> taken;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        taken.swap(queue_);
    }
    return {std::make_move_iterator(taken.begin()), std::make_move_iterator(taken.end())};
}
