#pragma once

#include <windows.h>

#include <initializer_list>
#include <vector>

// Anchor flags: how a control follows the change of the client size.
inline constexpr UINT kAnchorMoveRight = 1;
inline constexpr UINT kAnchorMoveDown = 4;
inline constexpr UINT kAnchorGrowWidth = 16;
inline constexpr UINT kAnchorGrowHeight = 32;

struct AnchorEntry {
    int controlId;
    UINT flags;
};

// Re-lays out a resizable dialog's controls from the layout captured at initialisation, and keeps
// the dialog from shrinking below its initial size. When the dialog moves to a monitor of another
// scale, the captured layout is rescaled before the dialog takes its new size.
class AnchorLayout {
public:
    // Takes the client size, the minimum tracking size (the window size, plus the menu bar when
    // the dialog has one, since it was attached after the template size was fixed), the rectangle
    // of each listed control that exists and the dialog's DPI, and starts following the dialog's
    // WM_DPICHANGED. The layout must outlive the dialog's window.
    void Capture(HWND dialog, std::initializer_list<AnchorEntry> entries);
    // WM_SIZE: moves and sizes every anchored control in one deferred batch.
    void OnSize(HWND dialog, WPARAM sizeType, int clientWidth, int clientHeight) const;
    // WM_GETMINMAXINFO: the captured size is the minimum; the maximum is not limited.
    void OnGetMinMaxInfo(MINMAXINFO& info) const;
    // The captured layout, measured again at the new DPI.
    void Rescale(UINT newDpi);

private:
    struct Entry {
        int controlId;
        UINT flags;
        RECT rect;
    };
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    POINT minTrackSize_ = {};
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    std::vector<Entry> entries_;
};
