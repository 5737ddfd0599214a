#include "ui/widgets/list_view_win.h"

#include <commctrl.h>

#include "base/resource_strings_win.h"
#include "ui/widgets/subclass_win.h"

void AddListColumn(HWND list, int index, const ListColumn& column) {
    std::wstring header = LoadStringResource(column.headerStringId);
    LVCOLUMNW info = {};
    info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    info.fmt = LVCFMT_LEFT;
    // Widths are given at 96 DPI, the scale the list's font is not.
    info.cx = MulDiv(column.width, static_cast<int>(GetDpiForWindow(list)), USER_DEFAULT_SCREEN_DPI);
    info.pszText = header.data();
    info.iSubItem = index;
    SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&info));
}

int AppendListRow(HWND list, const std::wstring& text, LPARAM data) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(text.c_str());
    item.lParam = data;
    return static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetListCell(HWND list, int row, int column, const std::wstring& text) {
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

std::wstring ListCellText(HWND list, int row, int column) {
    wchar_t buffer[256] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 256;
    const auto length = SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return std::wstring(buffer, static_cast<size_t>(length));
}

int SelectedListRow(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

namespace {

constexpr UINT_PTR kEnterSubclassId = 0x454E;

class EnterOnSelectedRow : public SubclassHandler {
public:
    bool OnMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        switch (message) {
        case WM_GETDLGCODE: return OnGetDlgCode(list, lParam, result);
        case WM_KEYDOWN: return OnKeyDown(list, wParam, result);
        default: return false;
        }
    }

private:
    static bool OnGetDlgCode(HWND list, LPARAM lParam, LRESULT& result) {
        if (lParam == 0) {
            return false;
        }
        const MSG& pending = *reinterpret_cast<const MSG*>(lParam);
        if (pending.message != WM_KEYDOWN || pending.wParam != VK_RETURN || SelectedListRow(list) < 0) {
            return false;
        }
        result = DLGC_WANTMESSAGE;
        return true;
    }
    // Told here rather than by the list itself, which notifies only for a focused item.
    static bool OnKeyDown(HWND list, WPARAM key, LRESULT& result) {
        if (key != VK_RETURN || SelectedListRow(list) < 0) {
            return false;
        }
        NMHDR notice = {list, static_cast<UINT_PTR>(GetDlgCtrlID(list)), static_cast<UINT>(NM_RETURN)};
        SendMessageW(GetParent(list), WM_NOTIFY, notice.idFrom, reinterpret_cast<LPARAM>(&notice));
        result = 0;
        return true;
    }
};

}  // namespace

void TakeEnterOnSelectedRow(HWND list) {
    InstallSubclass(list, kEnterSubclassId, std::make_unique<EnterOnSelectedRow>());
}
