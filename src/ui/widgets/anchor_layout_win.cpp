#include "ui/widgets/anchor_layout_win.h"

#include <memory>

#include "ui/widgets/dialog_dpi_win.h"
#include "ui/widgets/subclass_win.h"

namespace {

constexpr UINT_PTR kLayoutDpiSubclassId = 0x414C;

// Seen before the dialog procedure, whose handling of the message resizes the dialog.
class LayoutDpi : public SubclassHandler {
public:
    explicit LayoutDpi(AnchorLayout& layout) : layout_(layout) {}
    bool OnMessage(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT&) override {
        if (message == WM_DPICHANGED) {
            layout_.Rescale(LOWORD(wParam));
        }
        return false;
    }

private:
    AnchorLayout& layout_;
};

}  // namespace

void AnchorLayout::Capture(HWND dialog, std::initializer_list<AnchorEntry> entries) {
    RECT client = {};
    GetClientRect(dialog, &client);
    clientWidth_ = client.right - client.left;
    clientHeight_ = client.bottom - client.top;
    RECT window = {};
    GetWindowRect(dialog, &window);
    minTrackSize_ = {window.right - window.left,
                     window.bottom - window.top + (GetMenu(dialog) ? GetSystemMetrics(SM_CYMENU) : 0)};
    entries_.clear();
    for (const AnchorEntry& entry : entries) {
        HWND control = GetDlgItem(dialog, entry.controlId);
        if (!control) {
            continue;
        }
        RECT rect = {};
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        entries_.push_back({entry.controlId, entry.flags, rect});
    }
    if (const UINT dpi = GetDpiForWindow(dialog)) {
        dpi_ = dpi;
    }
    InstallSubclass(dialog, kLayoutDpiSubclassId, std::make_unique<LayoutDpi>(*this));
}

void AnchorLayout::OnSize(HWND dialog, WPARAM sizeType, int clientWidth, int clientHeight) const {
    if (sizeType == SIZE_MINIMIZED || clientWidth_ < 1) {
        return;
    }
    const int dx = clientWidth - clientWidth_;
    const int dy = clientHeight - clientHeight_;
    HDWP batch = BeginDeferWindowPos(static_cast<int>(entries_.size()));
    for (const Entry& entry : entries_) {
        HWND control = GetDlgItem(dialog, entry.controlId);
        if (!control || !batch) {
            continue;
        }
        const int x = entry.rect.left + ((entry.flags & kAnchorMoveRight) ? dx : 0);
        const int y = entry.rect.top + ((entry.flags & kAnchorMoveDown) ? dy : 0);
        const int width = entry.rect.right - entry.rect.left + ((entry.flags & kAnchorGrowWidth) ? dx : 0);
        const int height = entry.rect.bottom - entry.rect.top + ((entry.flags & kAnchorGrowHeight) ? dy : 0);
        batch = DeferWindowPos(batch, control, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch) {
        EndDeferWindowPos(batch);
    }
    InvalidateRect(dialog, nullptr, TRUE);
}

void AnchorLayout::OnGetMinMaxInfo(MINMAXINFO& info) const {
    if (minTrackSize_.x >= 1) {
        info.ptMinTrackSize = minTrackSize_;
    }
}

void AnchorLayout::Rescale(UINT newDpi) {
    if (newDpi == 0 || newDpi == dpi_) {
        return;
    }
    const auto scale = [this, newDpi](LONG length) { return ScaleForDpi(length, dpi_, newDpi); };
    clientWidth_ = scale(clientWidth_);
    clientHeight_ = scale(clientHeight_);
    minTrackSize_ = {scale(minTrackSize_.x), scale(minTrackSize_.y)};
    for (Entry& entry : entries_) {
        entry.rect = {scale(entry.rect.left), scale(entry.rect.top), scale(entry.rect.right), scale(entry.rect.bottom)};
    }
    dpi_ = newDpi;
}
