#include "ui/widgets/dark_dialog_win.h"

#include <memory>
#include <vector>

#include "base/handles_win.h"
#include "ui/widgets/dark_controls_win.h"
#include "ui/widgets/dark_mode_win.h"
#include "ui/widgets/subclass_win.h"

namespace {

constexpr UINT_PTR kDialogColourSubclassId = 1;

// Answers the dialog's colour messages and restyles its listed controls on a theme change.
class DialogColours : public SubclassHandler {
public:
    explicit DialogColours(std::span<const UINT> themedControls)
        : themedControls_(themedControls.begin(), themedControls.end()) {}

    bool OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        switch (message) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC: return OnControlColour(reinterpret_cast<HDC>(wParam), result);
        case WM_THEMECHANGED: OnThemeChanged(dialog); return false;
        case WM_SETTINGCHANGE: OnSettingChange(dialog, lParam); return false;
        case WM_DESTROY: ForgetTitleBarTheme(dialog); return false;
        default: return false;
        }
    }

private:
    bool OnControlColour(HDC dc, LRESULT& result) {
        if (!AnswerColourMessages(DarkMode())) {
            return false;
        }
        SetTextColor(dc, kDarkTextColor);
        SetBkColor(dc, kDarkBackgroundColor);
        if (!brush_) {
            brush_.reset(CreateSolidBrush(kDarkBackgroundColor));
        }
        result = reinterpret_cast<LRESULT>(brush_.get());
        return true;
    }

    void OnThemeChanged(HWND dialog) const {
        AllowDarkModeFor(dialog);
        RefreshTitleBarTheme(dialog);
        for (UINT id : themedControls_) {
            if (HWND control = GetDlgItem(dialog, static_cast<int>(id))) {
                ThemeListedControl(control);
            }
        }
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    }

    static void OnSettingChange(HWND dialog, LPARAM lParam) {
        const auto* area = reinterpret_cast<const wchar_t*>(lParam);
        const bool colourSet = area && CompareStringOrdinal(area, -1, L"ImmersiveColorSet", -1, TRUE) == CSTR_EQUAL;
        if (colourSet) {
            DarkModeEntries().refreshImmersiveColorPolicy();
        }
        if (DarkModeEntries().refreshHighContrastCache) {
            DarkModeEntries().refreshHighContrastCache(1);
        }
        if (colourSet) {
            SendMessageW(dialog, WM_THEMECHANGED, 0, 0);
        }
    }

    std::vector<UINT> themedControls_;
    UniqueHBrush brush_;
};

}  // namespace

void ApplyDarkModeToDialog(HWND dialog, const DialogTheme& theme) {
    if (!DarkMode().supported) {
        return;
    }
    AllowDarkModeFor(dialog);
    RefreshTitleBarTheme(dialog);
    if (theme.menuBar) {
        InstallMenuBarSubclass(dialog);
    }
    if (InstallSubclass(dialog, kDialogColourSubclassId, std::make_unique<DialogColours>(theme.themedControls))) {
        SendMessageW(dialog, WM_THEMECHANGED, 0, 0);
    }
    if (DarkMode().enabled) {
        EnumChildWindows(dialog, ThemeChildWindow, 0);
    }
}
