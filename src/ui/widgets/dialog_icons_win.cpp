#include "ui/widgets/dialog_icons_win.h"

#include "base/resource_strings_win.h"
#include "base/handles_win.h"
#include "res/resource.h"

namespace {

HICON ProgramIcon(int size) {
    return static_cast<HICON>(LoadImageW(ProgramModule(), MAKEINTRESOURCEW(IDI_WATCHKEEP), IMAGE_ICON, size, size, 0));
}

}  // namespace

void SetDialogIcons(HWND dialog) {
    // Each size is loaded once and shared by every dialog, so opening dialogs leaks no icons.
    static const UniqueHIcon small(ProgramIcon(16));
    static const UniqueHIcon big(ProgramIcon(32));
    if (small) {
        SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    }
    if (big) {
        SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    }
}
