#include "ui/widgets/dialog_dpi_win.h"

#include <commctrl.h>

#include <utility>

namespace {

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

bool IsClass(HWND window, const wchar_t* className) {
    wchar_t name[32] = {};
    return GetClassNameW(window, name, 32) > 0 && CompareStringOrdinal(name, -1, className, -1, TRUE) == CSTR_EQUAL;
}

// The fonts of one change: each font in use at the old DPI maps to one made for the new DPI.
class FontRescale {
public:
    FontRescale(UINT fromDpi, UINT toDpi) : fromDpi_(fromDpi), toDpi_(toDpi) {}

    void Apply(HWND window) {
        const auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
        if (HFONT scaled = font ? Scaled(font) : nullptr) {
            SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(scaled), FALSE);
        }
    }
    std::vector<UniqueHFont> TakeFonts() { return std::move(made_); }

private:
    HFONT Scaled(HFONT font) {
        for (size_t i = 0; i < used_.size(); ++i) {
            if (used_[i] == font) {
                return made_[i].get();
            }
        }
        LOGFONTW logFont = {};
        if (!GetObjectW(font, sizeof(logFont), &logFont)) {
            return nullptr;
        }
        logFont.lfHeight = ScaleForDpi(logFont.lfHeight, fromDpi_, toDpi_);
        logFont.lfWidth = ScaleForDpi(logFont.lfWidth, fromDpi_, toDpi_);
        UniqueHFont made(CreateFontIndirectW(&logFont));
        if (!made) {
            return nullptr;
        }
        used_.push_back(font);
        made_.push_back(std::move(made));
        return made_.back().get();
    }

    UINT fromDpi_;
    UINT toDpi_;
    std::vector<HFONT> used_;
    std::vector<UniqueHFont> made_;
};

void RescaleColumns(HWND list, UINT fromDpi, UINT toDpi) {
    const auto columns = static_cast<int>(SendMessageW(ListView_GetHeader(list), HDM_GETITEMCOUNT, 0, 0));
    for (int column = 0; column < columns; ++column) {
        const auto width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
        SendMessageW(list, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(ScaleForDpi(width, fromDpi, toDpi), 0));
    }
}

// The dialog's own controls, about its client origin; controls lay out their inner windows (a
// list's header, a combo box's edit) themselves.
void RescaleChildren(HWND parent, UINT fromDpi, UINT toDpi, FontRescale& fonts) {
    for (HWND child : ChildWindows(parent)) {
        RECT rect = {};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
        fonts.Apply(child);
        SetWindowPos(child, nullptr, ScaleForDpi(rect.left, fromDpi, toDpi), ScaleForDpi(rect.top, fromDpi, toDpi),
                     ScaleForDpi(rect.right - rect.left, fromDpi, toDpi),
                     ScaleForDpi(rect.bottom - rect.top, fromDpi, toDpi), SWP_NOZORDER | SWP_NOACTIVATE);
        if (IsClass(child, WC_LISTVIEWW)) {
            RescaleColumns(child, fromDpi, toDpi);
        }
    }
}

}  // namespace

void DialogDpi::OnInit(HWND dialog) {
    if (const UINT dpi = GetDpiForWindow(dialog)) {
        dpi_ = dpi;
    }
    // Windows would rescale the dialog on its own as well; the runner does it, so that the anchored
    // layout follows. Looked up at run time: the import library and Wine lack the call.
    using SetBehavior = BOOL(WINAPI*)(HWND, DIALOG_DPI_CHANGE_BEHAVIORS, DIALOG_DPI_CHANGE_BEHAVIORS);
    const auto setBehavior = reinterpret_cast<SetBehavior>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetDialogDpiChangeBehavior")));
    if (setBehavior) {
        setBehavior(dialog, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
    }
}

void DialogDpi::OnDpiChanged(HWND dialog, UINT newDpi, const RECT& suggested) {
    if (newDpi == 0 || newDpi == dpi_) {
        return;
    }
    // The dialog keeps its template font: the dialog manager owns and deletes it.
    FontRescale fonts(dpi_, newDpi);
    RescaleChildren(dialog, dpi_, newDpi, fonts);
    // The fonts of the previous change are no longer selected into any control.
    fonts_ = fonts.TakeFonts();
    dpi_ = newDpi;
    SetWindowPos(dialog, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(dialog, nullptr, TRUE);
}
