#pragma once

#include <windows.h>

#include <vector>

#include "base/handles_win.h"

// Follows a dialog to a monitor of another scale (WM_DPICHANGED): every control's rectangle and
// font are made for the new DPI, report lists' columns widened with them, and the dialog takes the
// rectangle the system suggests. The dialog runner keeps one per open dialog.
class DialogDpi {
public:
    // The dialog's DPI at creation.
    void OnInit(HWND dialog);
    void OnDpiChanged(HWND dialog, UINT newDpi, const RECT& suggested);
    UINT Dpi() const { return dpi_; }

private:
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    // Fonts made for the current DPI; replaced as a set once every control holds its new one.
    std::vector<UniqueHFont> fonts_;
};

// A length measured at one DPI, at another.
inline int ScaleForDpi(int length, UINT fromDpi, UINT toDpi) {
    return MulDiv(length, static_cast<int>(toDpi), static_cast<int>(fromDpi));
}
