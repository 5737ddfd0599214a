#pragma once

#include <cstdint>

#include "alerts/alert_record.h"

// The bridge from the monitor thread to the main thread (Windows layer).
class GUIAlertSink final : public IAlertSink {
public:
    // Posts a heap copy of the record to the tray window as UWM_ALERT; the copy is freed at once
    // when the post fails (the alert is then lost). Returns the post's result, 0 on failure.
    int32_t OnAlert(const AlertRecord& record) override;
};

extern GUIAlertSink guiAlertSink;

// Main thread only: records the alert in the history and performs its actions.
void DeliverAlert(const AlertRecord& record);

// The tray window's UWM_ALERT handler (it then returns 0): takes ownership of the record posted
// as lParam, delivers it and frees it; a null lParam does nothing.
void HandleAlertMessage(intptr_t lParam);
