#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "res/resource.h"
#include "ui/main_dialog_win.h"
#include "ui/widgets/dark_mode_win.h"
#include "ui/widgets/dialog_runner_win.h"
#include "ui/widgets/list_view_win.h"
#include "win/support/running_application.h"
#include "win/support/screenshot.h"

// The main dialog opened from the tray of the in-process application, as a click on the icon
// opens it, and driven from the test thread by messages to its controls.
class MainDialogTest : public RunningApplication {
protected:
    void SetUp() override {
        InitDarkMode();  // as the program does before any window
        RunningApplication::SetUp();
    }
    void Open() {
        // Asked again while none shows: the thread of a dialog just closed may not have ended yet,
        // and a request then only raises the closing dialog.
        EXPECT_TRUE(WaitUntil([this] {
            if (!app_->MainDialogWindow()) {
                SendMessageW(Tray(), UWM_TRAY_CALLBACK, 0, WM_LBUTTONUP);
            }
            // Published at the start of its initialisation, shown at the end of it.
            return WaitUntil([this] { return IsWindowVisible(app_->MainDialogWindow()); }, 500);
        }));
        dialog_ = app_->MainDialogWindow();
    }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    HWND List() const { return Item(IDC_RULES_LIST); }
    // Posted: a command that opens a modal window must not block the test.
    void Click(int id) const { PostMessageW(Item(id), BM_CLICK, 0, 0); }
    void Command(WORD id) const { PostMessageW(dialog_, WM_COMMAND, id, 0); }
    int Rows() const { return static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }
    std::wstring Cell(int row, int column) const { return ListCellText(List(), row, column); }
    std::wstring RowText(int row) const {
        std::wstring text;
        for (int column = 0; column < 9; ++column) {
            text += (column ? L"|" : L"") + Cell(row, column);
        }
        return text;
    }
    void Select(int row) const { ListView_SetItemState(List(), row, LVIS_SELECTED, LVIS_SELECTED); }
    void DoubleClickCell(int row, int column) const {
        RECT cell = {LVIR_BOUNDS, column, 0, 0};
        SendMessageW(List(), LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
        const int x = column == 0 ? cell.left + 10 : (cell.left + cell.right) / 2;
        SendMessageW(List(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, (cell.top + cell.bottom) / 2));
    }
    // The command opens a file picker, answered with the path.
    void PickFile(WORD command, const std::wstring& path) const {
        Command(command);
        AnswerFilePicker(dialog_, path);
    }
    // Picks the popup menu's entry so many rows down, or none (Escape) for 0.
    void ChooseFromMenu(int downs) const {
        ASSERT_TRUE(WaitUntil([] { return VisiblePopupMenu() != nullptr; }));
        for (int i = 0; i < downs; ++i) {
            PostMessageW(dialog_, WM_KEYDOWN, VK_DOWN, 0);
        }
        PostMessageW(dialog_, WM_KEYDOWN, downs ? VK_RETURN : VK_ESCAPE, 0);
        ASSERT_TRUE(WaitUntil([] { return VisiblePopupMenu() == nullptr; }));
    }
    HWND dialog_ = nullptr;
};
