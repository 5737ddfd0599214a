#include "ui/main_dialog_win.h"

#include <commctrl.h>

#include <array>
#include <cstdint>
#include <string>

#include "base/resource_format.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "settings/settings_store_win.h"
#include "ui/main_menu_win.h"
#include "ui/processes_page_win.h"
#include "ui/recent_alerts_page_win.h"
#include "ui/rules_page_win.h"
#include "ui/settings_page_win.h"
#include "ui/widgets/anchor_layout_win.h"
#include "ui/widgets/dialog_runner_win.h"
#include "update/version.h"

namespace {

constexpr UINT kThemedControls[] = {
    IDC_ADD_RULE,      IDC_EDIT_RULE,          IDC_REMOVE_RULE,
    IDC_PRESETS,       IDC_IMPORT_RULES,       IDC_EXPORT_RULES,
    IDC_POLL_INTERVAL, IDC_TRAY_NOTIFICATIONS, IDC_LOG_TO_FILE,
    IDC_PLAY_SOUND,    IDC_LOG_PATH,           IDC_SOUND_PATH,
    IDC_APPLY,         IDC_VERSION_LINK,       IDOK,
    IDCANCEL,          IDC_METRICS_PATH,       IDC_PROCESS_FILTER,
    IDC_WATCH_PROCESS, IDC_PROCESS_HISTORY,
};

constexpr UINT kTabLabels[] = {IDS_TAB_RECENT_ALERTS, IDS_TAB_SETTINGS, IDS_TAB_PROCESSES};

// The menu bar took its height from the client area, so the grip of the template would stick out
// below it; it goes back into the corner before the layout is captured.
void PlaceSizeGrip(HWND dialog) {
    HWND grip = GetDlgItem(dialog, IDC_SIZE_GRIP);
    RECT client = {};
    RECT rect = {};
    GetClientRect(dialog, &client);
    GetWindowRect(grip, &rect);
    SetWindowPos(grip, nullptr, client.right - (rect.right - rect.left), client.bottom - (rect.bottom - rect.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The frame of the main dialog: the rules page above the tabs, the tab pages, the menu, the layout
// and placement, and the version link.
class MainDialog final : public DialogHandler {
public:
    explicit MainDialog(const MainDialogContext& context)
        : context_(context),
          settings_(*context.settings),
          rules_(*context.rules),
          recentAlerts_(*context.alertHistory, *context.settings, context.processHistory, *context.rules),
          settingsPage_(*context.settings, *context.metricsFileError),
          processes_(context.processHistory, *context.rules, *context.alertHistory),
          menu_(*context.settings, *context.paused, context.trayWindow, context.openAlertLog, settingsPage_) {}

    void OnInit(HWND dialog) override;
    bool OnCommand(HWND dialog, WORD id) override;
    void OnDestroy(HWND) override {
        rules_.Destroy();
        context_.openWindow->store(nullptr);
    }
    bool OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    DialogTheme Theme() const override { return {kThemedControls, true}; }

private:
    // The pages in the order they take messages; the tab pages follow in the order of their tabs.
    std::array<MainDialogPage*, 4> Pages() { return {&rules_, &recentAlerts_, &settingsPage_, &processes_}; }
    // Shows tab page `index` and hides the others; any other index hides them all.
    void ShowTab(HWND dialog, int index);
    void AddTabs(HWND dialog) const;
    void SetVersionLink(HWND dialog, bool updateAvailable) const;
    bool UpdateAvailable() const { return context_.updates && context_.updates->UpdateAvailable(); }
    void RestorePlacement(HWND dialog) const;
    void StorePlacement(HWND dialog) const;
    void Post(UINT message, WPARAM wParam = 0) const { PostMessageW(context_.trayWindow, message, wParam, 0); }

    const MainDialogContext& context_;
    AppSettings& settings_;
    RulesPage rules_;
    RecentAlertsPage recentAlerts_;
    SettingsPage settingsPage_;
    ProcessesPage processes_;
    MainMenu menu_;
    AnchorLayout layout_;
};

void MainDialog::OnInit(HWND dialog) {
    context_.openWindow->store(dialog);
    menu_.Attach(dialog);
    for (MainDialogPage* page : Pages()) {
        page->Create(dialog);
    }
    AddTabs(dialog);
    ShowTab(dialog, 0);

    PlaceSizeGrip(dialog);
    layout_.Capture(dialog, {
                                {IDC_RULES_GROUP, kAnchorGrowWidth},
                                {IDC_RULES_LIST, kAnchorGrowWidth},
                                {IDC_IMPORT_RULES, kAnchorMoveRight},
                                {IDC_EXPORT_RULES, kAnchorMoveRight},
                                {IDC_TABS, kAnchorGrowWidth | kAnchorGrowHeight},
                                {IDC_RECENT_ALERTS, kAnchorGrowWidth | kAnchorGrowHeight},
                                {IDC_PROCESSES, kAnchorGrowWidth | kAnchorGrowHeight},
                                {IDC_WATCH_PROCESS, kAnchorMoveRight},
                                {IDC_PROCESS_HISTORY, kAnchorMoveRight},
                                {IDC_SETTINGS_GROUP, kAnchorGrowWidth | kAnchorGrowHeight},
                                {IDC_LOG_PATH, kAnchorGrowWidth},
                                {IDC_BROWSE_LOG, kAnchorMoveRight},
                                {IDC_SOUND_PATH, kAnchorGrowWidth},
                                {IDC_BROWSE_SOUND, kAnchorMoveRight},
                                {IDC_METRICS_PATH, kAnchorGrowWidth},
                                {IDC_BROWSE_METRICS, kAnchorMoveRight},
                                {IDC_METRICS_ERROR, kAnchorGrowWidth},
                                {IDC_APPLY, kAnchorMoveRight},
                                {IDC_VERSION_LINK, kAnchorMoveDown},
                                {IDOK, kAnchorMoveRight | kAnchorMoveDown},
                                {IDCANCEL, kAnchorMoveRight | kAnchorMoveDown},
                                {IDC_SIZE_GRIP, kAnchorMoveRight | kAnchorMoveDown},
                            });
    RestorePlacement(dialog);
    SetVersionLink(dialog, UpdateAvailable());
    SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(dialog);
}

bool MainDialog::OnCommand(HWND dialog, WORD id) {
    if (menu_.Forward(dialog, id)) {
        return true;
    }
    // The rules page goes first: it commits an open cell before any command that ends the dialog.
    for (MainDialogPage* page : Pages()) {
        if (page->OnCommand(dialog, id, BN_CLICKED)) {
            return true;
        }
    }
    switch (id) {
    case IDOK:
        StorePlacement(dialog);
        SaveSettings(settings_);
        EndDialog(dialog, IDOK);
        return true;
    case IDCANCEL:
        // Kept in memory only: the next save of the settings (at the latest at exit) writes it.
        StorePlacement(dialog);
        EndDialog(dialog, IDCANCEL);
        return true;
    case IDM_FILE_EXIT:
        EndDialog(dialog, IDCANCEL);
        Post(UWM_EXIT);
        return true;
    case IDC_WATCH_PROCESS: rules_.AddRule(dialog, processes_.SelectedName(dialog)); return true;
    default: return menu_.OnCommand(dialog, id) || DialogHandler::OnCommand(dialog, id);
    }
}

bool MainDialog::OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    result = TRUE;
    switch (message) {
    case WM_COMMAND:
        for (MainDialogPage* page : Pages()) {
            if (page->OnCommand(dialog, LOWORD(wParam), HIWORD(wParam))) {
                return true;
            }
        }
        return false;
    case WM_NOTIFY: {
        auto& header = *reinterpret_cast<NMHDR*>(lParam);
        if (header.idFrom == IDC_TABS && header.code == TCN_SELCHANGE) {
            ShowTab(dialog, static_cast<int>(SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0)));
            return true;
        }
        if (header.idFrom == IDC_VERSION_LINK && (header.code == NM_CLICK || header.code == NM_RETURN)) {
            if (UpdateAvailable()) {
                Post(UWM_INSTALL_UPDATE);
            } else {
                Post(UWM_CHECK_UPDATES, 1);
            }
            return true;
        }
        for (MainDialogPage* page : Pages()) {
            if (page->OnNotify(dialog, header)) {
                return true;
            }
        }
        return false;
    }
    case WM_DRAWITEM:
        if (wParam != IDC_TABS) {
            return false;
        }
        DrawDarkTab(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return true;
    case WM_SIZE: layout_.OnSize(dialog, wParam, LOWORD(lParam), HIWORD(lParam)); return true;
    case WM_GETMINMAXINFO: layout_.OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam)); return true;
    case WM_INITMENUPOPUP: menu_.UpdateState(); return true;
    case UWM_UPDATE_AVAILABLE: SetVersionLink(dialog, true); return true;
    case UWM_NO_UPDATE_FOUND: SetVersionLink(dialog, false); return true;
    default:
        for (MainDialogPage* page : Pages()) {
            if (page->OnMessage(dialog, message, wParam)) {
                return true;
            }
        }
        return false;
    }
}

void MainDialog::AddTabs(HWND dialog) const {
    HWND tabs = GetDlgItem(dialog, IDC_TABS);
    ThemeTabControl(tabs);
    for (UINT textId : kTabLabels) {
        std::wstring text = LoadStringResource(textId);
        TCITEMW tab = {};
        tab.mask = TCIF_TEXT;
        tab.pszText = text.data();
        SendMessageW(tabs, TCM_INSERTITEMW, SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), reinterpret_cast<LPARAM>(&tab));
    }
    SendMessageW(tabs, TCM_SETCURSEL, 0, 0);
}

void MainDialog::ShowTab(HWND dialog, int index) {
    const std::array<MainDialogPage*, 3> tabs = {&recentAlerts_, &settingsPage_, &processes_};
    for (size_t i = 0; i < tabs.size(); ++i) {
        tabs[i]->Show(dialog, static_cast<int>(i) == index);
    }
}

void MainDialog::SetVersionLink(HWND dialog, bool updateAvailable) const {
    HWND link = GetDlgItem(dialog, IDC_VERSION_LINK);
    const std::wstring text =
        updateAvailable
            ? FillPlaceholder(LoadStringResource(IDS_VERSION_LINK_UPDATE), context_.updates->LatestVersion())
            : FillPlaceholder(LoadStringResource(IDS_VERSION_LINK_CHECK), kDisplayVersion);
    SetWindowTextW(link, text.c_str());
    ShowWindow(link, SW_SHOW);
}

void MainDialog::RestorePlacement(HWND dialog) const {
    const PlacementRect placement = settings_.MainDialogPlacement.Get();
    // 64-bit sums: stored coordinates come from the registry and may be anything.
    const int64_t width = int64_t{placement.Right} - placement.Left;
    const int64_t height = int64_t{placement.Bottom} - placement.Top;
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) {
        return;
    }
    const POINT centre = {static_cast<LONG>((int64_t{placement.Left} + placement.Right) / 2),
                          static_cast<LONG>((int64_t{placement.Top} + placement.Bottom) / 2)};
    if (MonitorFromPoint(centre, MONITOR_DEFAULTTONULL)) {
        SetWindowPos(dialog, nullptr, placement.Left, placement.Top, static_cast<int>(width), static_cast<int>(height),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void MainDialog::StorePlacement(HWND dialog) const {
    // A minimised window's rectangle lies off every screen; keep the last real one instead.
    if (IsIconic(dialog)) {
        return;
    }
    RECT window = {};
    GetWindowRect(dialog, &window);
    settings_.MainDialogPlacement.Set({window.left, window.top, window.right, window.bottom});
}

}  // namespace

void RunMainDialog(const MainDialogContext& context) {
    MainDialog handler(context);
    RunDialog(IDD_MAIN_DIALOG, handler);
}
