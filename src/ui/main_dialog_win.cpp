#include "ui/main_dialog_win.h"

#include "res/resource.h"
#include "ui/widgets/dialog_runner_win.h"

std::atomic<HWND> mainDialogWindow{nullptr};

namespace {

class MainDialog final : public DialogHandler {
public:
    void OnInit(HWND dialog) override { mainDialogWindow.store(dialog); }
    void OnDestroy(HWND) override { mainDialogWindow.store(nullptr); }
};

}  // namespace

void RunMainDialog() {
    MainDialog handler;
    RunDialog(IDD_MAIN_DIALOG, handler);
}
