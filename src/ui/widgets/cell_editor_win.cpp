#include "ui/widgets/cell_editor_win.h"

#include <commctrl.h>

#include "ui/widgets/list_view_win.h"
#include "ui/widgets/subclass_win.h"

namespace {

constexpr UINT_PTR kCellEditorSubclassId = 1;

// Enter and Esc end the edit, and so does the loss of the focus.
class CellEditorKeys : public SubclassHandler {
public:
    explicit CellEditorKeys(UINT endMessage) : endMessage_(endMessage) {}

    bool OnMessage(HWND editor, UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
        result = 0;
        switch (message) {
        case WM_KEYDOWN: return OnKeyDown(editor, wParam);
        // Swallowed so that Enter does not beep.
        case WM_CHAR: return wParam == L'\r' || wParam == L'\n';
        // The dialog manager would otherwise take Enter, Esc and Tab for its buttons.
        case WM_GETDLGCODE: result = DLGC_WANTALLKEYS; return true;
        case WM_KILLFOCUS: End(editor, true); return true;
        default: return false;
        }
    }

private:
    bool OnKeyDown(HWND editor, WPARAM key) const {
        if (key != VK_ESCAPE && key != VK_RETURN) {
            return false;
        }
        End(editor, key == VK_RETURN);
        return true;
    }
    void End(HWND editor, bool commit) const {
        PostMessageW(GetParent(GetParent(editor)), endMessage_, commit ? 1 : 0, 0);
    }

    UINT endMessage_;
};

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
    InstallSubclass(editor, kCellEditorSubclassId, std::make_unique<CellEditorKeys>(endMessage));
    editor_ = editor;
    column_ = column;
    SetFocus(editor);
    return true;
}

void CellEditor::End() {
    HWND editor = editor_;
    editor_ = nullptr;
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
