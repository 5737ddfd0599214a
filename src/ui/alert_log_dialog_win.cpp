#include "ui/alert_log_dialog_win.h"

#include "res/resource.h"
#include "ui/widgets/dialog_runner_win.h"

namespace {

class AlertLogDialog final : public DialogHandler {};

}  // namespace

void RunAlertLogDialog() {
    AlertLogDialog handler;
    RunDialog(IDD_ALERT_LOG, handler);
}
