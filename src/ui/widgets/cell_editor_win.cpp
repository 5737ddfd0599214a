#include "ui/widgets/cell_editor_win.h"

#include <commctrl.h>

#include "base/exception_barrier_win.h"
#include "ui/widgets/list_view_win.h"

namespace {

constexpr UINT_PTR kCellEditorSubclassId = 1;

LRESULT CALLBACK CellEditorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    const auto endMessage = static_cast<UINT>(data);
    HWND dialog = GetParent(GetParent(editor));
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE || wParam == VK_RETURN) {
            PostMessageW(dialog, endMessage, wParam == VK_RETURN ? 1 : 0, 0);
            return 0;
        }
        break;
    case WM_CHAR:
        // Swallowed so that Enter does not beep.
        if (wParam == L'\r' || wParam == L'\n') {
            return 0;
        }
        break;
    // The dialog manager would otherwise take Enter, Esc and Tab for its buttons.
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
    case WM_KILLFOCUS: PostMessageW(dialog, endMessage, 1, 0); return 0;
    case WM_NCDESTROY: RemoveWindowSubclass(editor, GuardedSubclass<CellEditorProc>, kCellEditorSubclassId); break;
    default: break;
    }
    return DefSubclassProc(editor, message, wParam, lParam);
}

}  // namespace

bool CellEditor::Begin(HWND list, int row, int column, UINT endMessage) {
    End();
    RECT cell = {};
    cell.top = column;
    cell.left = LVIR_BOUNDS;
    if (!SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell))) {
        return false;
    }
    std::wstring text = ListCellText(list, row, column);
    if (text == L"-") {
        text.clear();
    }
    HWND editor =
        CreateWindowExW(0, L"EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, cell.left,
                        cell.top, cell.right - cell.left, cell.bottom - cell.top, list, nullptr, nullptr, nullptr);
    if (!editor) {
        return false;
    }
    SendMessageW(editor, WM_SETFONT, SendMessageW(list, WM_GETFONT, 0, 0), FALSE);
    SendMessageW(editor, EM_SETSEL, 0, -1);
    // Subclassed before the focus moves, so that the first loss of focus already commits.
    SetWindowSubclass(editor, GuardedSubclass<CellEditorProc>, kCellEditorSubclassId, endMessage);
    editor_ = editor;
    rowData_ = ListRowData(list, row);
    column_ = column;
    SetFocus(editor);
    return true;
}

void CellEditor::End() {
    HWND editor = editor_;
    editor_ = nullptr;
    rowData_ = 0;
    column_ = -1;
    if (editor) {
        // Its loss of focus posts one more end notice, which finds no editor and does nothing.
        if (GetFocus() == editor) {
            SetFocus(GetParent(editor));
        }
        DestroyWindow(editor);
    }
}

std::wstring CellEditor::Text() const {
    wchar_t buffer[256] = {};
    const int length = editor_ ? GetWindowTextW(editor_, buffer, 256) : 0;
    return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}
