#include "ui/about_dialog_win.h"

#include <shellapi.h>

#include "base/resource_format.h"
#include "base/resource_strings_win.h"
#include "base/handles_win.h"
#include "res/resource.h"
#include "ui/widgets/dialog_runner_win.h"
#include "update/version.h"

namespace {

// A build setting, beside the update server's host.
constexpr wchar_t kHomePage[] = WATCHKEEP_HOME_PAGE;
constexpr int kIconPixels = 48;

// Made from the dialog font at the first opening (half again as tall, bold) and kept for every
// later one, so opening the dialog again creates no font.
HFONT TitleFont(HWND title) {
    static const UniqueHFont font = [title] {
        LOGFONTW logFont = {};
        const auto dialogFont = reinterpret_cast<HFONT>(SendMessageW(title, WM_GETFONT, 0, 0));
        if (!dialogFont || !GetObjectW(dialogFont, sizeof(logFont), &logFont)) {
            return UniqueHFont();
        }
        logFont.lfWeight = FW_BOLD;
        logFont.lfHeight = logFont.lfHeight * 3 / 2;
        return UniqueHFont(CreateFontIndirectW(&logFont));
    }();
    return font.get();
}

constexpr UINT kThemedControls[] = {IDC_ABOUT_TITLE, IDC_ABOUT_VERSION, IDC_ABOUT_HOME_PAGE, IDOK};

class AboutDialog final : public DialogHandler {
public:
    DialogTheme Theme() const override { return {kThemedControls}; }

    void OnInit(HWND dialog) override {
        if (HWND iconControl = GetDlgItem(dialog, IDC_ABOUT_ICON)) {
            icon_.reset(static_cast<HICON>(
                LoadImageW(ProgramModule(), MAKEINTRESOURCEW(IDI_WATCHKEEP), IMAGE_ICON, kIconPixels, kIconPixels, 0)));
            if (icon_) {
                SendMessageW(iconControl, STM_SETICON, reinterpret_cast<WPARAM>(icon_.get()), 0);
            }
        }
        const std::wstring version = FillPlaceholder(LoadStringResource(IDS_ABOUT_VERSION), kDisplayVersion);
        SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, version.c_str());
        SetDlgItemTextW(dialog, IDC_ABOUT_HOME_PAGE, kHomePage);
        if (HWND title = GetDlgItem(dialog, IDC_ABOUT_TITLE)) {
            if (HFONT font = TitleFont(title)) {
                SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
            }
        }
    }

    bool OnCommand(HWND dialog, WORD id) override {
        if (id == IDC_ABOUT_HOME_PAGE) {
            ShellExecuteW(dialog, L"open", kHomePage, nullptr, nullptr, SW_SHOWNORMAL);
            return true;
        }
        return DialogHandler::OnCommand(dialog, id);
    }

private:
    // Shown by the icon control while the dialog is open, destroyed after it has closed.
    UniqueHIcon icon_;
};

}  // namespace

void RunAboutDialog(HWND owner) {
    AboutDialog handler;
    RunDialog(IDD_ABOUT, handler, owner);
}
