#include "ui/widgets/dark_mode_win.h"

#include <commctrl.h>
#include <uxtheme.h>
#include <vsstyle.h>
#include <vssym32.h>

#include <memory>

#include "base/exception_barrier_win.h"
#include "base/win_handles.h"

namespace {

constexpr UINT_PTR kListViewSubclassId = 2;
constexpr UINT_PTR kMenuBarSubclassId = 2;
constexpr UINT_PTR kTabSubclassId = 0;

// Undocumented messages the menu bar sends its window to draw the bar and each of its items.
constexpr UINT kDrawMenuBar = 0x0091;
constexpr UINT kDrawMenuBarItem = 0x0092;

struct MenuBarRecord {
    HMENU menu;
    HDC dc;
    DWORD flags;
};
struct MenuBarItemRecord {
    int position;
};
struct MenuBarItemDraw {
    DRAWITEMSTRUCT item;
    MenuBarRecord menu;
    MenuBarItemRecord menuItem;
};

// Used by the main dialog's thread only; reopened after a theme change.
HTHEME menuTheme = nullptr;

bool LiveDarkMode() {
    return DarkMode().supported && DarkModeEntries().shouldAppsUseDarkMode() && !IsHighContrast();
}

LRESULT OnHeaderCustomDraw(const NMCUSTOMDRAW& draw, COLORREF headerText) {
    if (draw.dwDrawStage == CDDS_PREPAINT) {
        return CDRF_NOTIFYITEMDRAW;
    }
    // Only the dark header's text needs a colour; the light one keeps its own.
    if (!DarkMode().enabled && !LiveDarkMode()) {
        return CDRF_DODEFAULT;
    }
    if (IsThemeActive()) {
        SetTextColor(draw.hdc, headerText);
    }
    return CDRF_DODEFAULT;
}

void OnListThemeChanged(HWND list, COLORREF& headerText) {
    HWND header = ListView_GetHeader(list);
    if (DarkMode().supported) {
        DarkModeEntries().allowDarkModeForWindow(list, DarkMode().enabled);
        DarkModeEntries().allowDarkModeForWindow(header, DarkMode().enabled);
    }
    COLORREF colour = ListView_GetTextColor(list);
    if (HTHEME theme = OpenThemeData(header, L"Header")) {
        GetThemeColor(theme, HP_HEADERITEM, 0, TMT_TEXTCOLOR, &colour);
        CloseThemeData(theme);
    }
    headerText = colour;
    SendMessageW(header, WM_THEMECHANGED, 0, 0);
    RedrawWindow(list, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

LRESULT CALLBACK ListViewSubclass(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* headerText = reinterpret_cast<COLORREF*>(data);
    switch (message) {
    case WM_NOTIFY: {
        const auto& notice = *reinterpret_cast<const NMHDR*>(lParam);
        if (notice.code != static_cast<UINT>(NM_CUSTOMDRAW) || notice.hwndFrom != ListView_GetHeader(list)) {
            break;
        }
        const auto& draw = *reinterpret_cast<const NMCUSTOMDRAW*>(lParam);
        if (draw.dwDrawStage == CDDS_PREPAINT || draw.dwDrawStage == CDDS_ITEMPREPAINT) {
            return OnHeaderCustomDraw(draw, *headerText);
        }
        break;
    }
    case WM_THEMECHANGED: OnListThemeChanged(list, *headerText); break;
    case WM_DESTROY:
        RemoveWindowSubclass(list, GuardedSubclass<ListViewSubclass>, kListViewSubclassId);
        delete headerText;
        break;
    default: break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

LRESULT CALLBACK TabBackgroundSubclass(HWND tabs, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_ERASEBKGND) {
        RECT client = {};
        GetClientRect(tabs, &client);
        const UniqueHBrush brush(CreateSolidBrush(kDarkBackgroundColor));
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush.get());
        return 1;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(tabs, GuardedSubclass<TabBackgroundSubclass>, kTabSubclassId);
    }
    return DefSubclassProc(tabs, message, wParam, lParam);
}

int MenuItemThemeState(UINT itemState) {
    if (itemState & (ODS_GRAYED | ODS_DISABLED)) {
        return MPI_DISABLED;
    }
    if (itemState & (ODS_SELECTED | ODS_HOTLIGHT)) {
        return MPI_HOT;
    }
    return (itemState & (ODS_INACTIVE | ODS_DEFAULT)) ? MPI_NORMAL : 0;
}

void DrawMenuBar(HWND dialog, const MenuBarRecord& bar) {
    MENUBARINFO info = {};
    info.cbSize = sizeof(info);
    RECT window = {};
    if (!GetMenuBarInfo(dialog, OBJID_MENU, 0, &info) || !GetWindowRect(dialog, &window)) {
        return;
    }
    RECT rect = info.rcBar;
    OffsetRect(&rect, -window.left, -window.top);
    // Covers the light line the system leaves above the bar.
    rect.top -= 1;
    DrawThemeBackground(menuTheme, bar.dc, MENU_POPUPITEM, MPI_NORMAL, &rect, nullptr);
}

void DrawMenuBarItem(const MenuBarItemDraw& draw) {
    wchar_t text[256] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 255;
    GetMenuItemInfoW(draw.menu.menu, static_cast<UINT>(draw.menuItem.position), TRUE, &info);
    const int state = MenuItemThemeState(draw.item.itemState);
    const DWORD flags =
        DT_CENTER | DT_VCENTER | DT_SINGLELINE | ((draw.item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0);
    DrawThemeBackground(menuTheme, draw.item.hDC, MENU_POPUPITEM, state, &draw.item.rcItem, nullptr);
    DrawThemeText(menuTheme, draw.item.hDC, MENU_POPUPITEM, state, text, -1, flags, 0, &draw.item.rcItem);
}

LRESULT CALLBACK MenuBarSubclass(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_THEMECHANGED && menuTheme) {
        CloseThemeData(menuTheme);
        menuTheme = nullptr;
    }
    const bool drawing = message == kDrawMenuBar || message == kDrawMenuBarItem;
    if (drawing && DarkMode().enabled && LiveDarkMode()) {
        if (!menuTheme) {
            menuTheme = OpenThemeData(dialog, L"Menu");
        }
        if (menuTheme) {
            if (message == kDrawMenuBar) {
                DrawMenuBar(dialog, *reinterpret_cast<const MenuBarRecord*>(lParam));
            } else {
                DrawMenuBarItem(*reinterpret_cast<const MenuBarItemDraw*>(lParam));
            }
            return 0;
        }
    }
    return DefSubclassProc(dialog, message, wParam, lParam);
}

}  // namespace

void SetupListViewTheme(HWND list) {
    HWND header = ListView_GetHeader(list);
    auto headerText = std::make_unique<COLORREF>(0);
    if (SetWindowSubclass(list, GuardedSubclass<ListViewSubclass>, kListViewSubclassId,
                          reinterpret_cast<DWORD_PTR>(headerText.get()))) {
        headerText.release();
    }
    SendMessageW(list, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    SetWindowTheme(header, L"ItemsView", nullptr);
    SetWindowTheme(list, L"ItemsView", nullptr);
}

void ThemeReportList(HWND list, HWND sizeGrip) {
    if (!DarkMode().supported) {
        return;
    }
    SetupListViewTheme(list);
    if (DarkMode().enabled) {
        ListView_SetBkColor(list, kDarkBackgroundColor);
        ListView_SetTextBkColor(list, kDarkBackgroundColor);
        ListView_SetTextColor(list, kDarkTextColor);
        // The grip would stay a light square in the dark corner.
        ShowWindow(sizeGrip, SW_HIDE);
    }
}

void ThemeTabControl(HWND tabs) {
    if (!DarkMode().supported) {
        return;
    }
    DarkModeEntries().allowDarkModeForWindow(tabs, DarkMode().enabled);
    if (DarkMode().enabled) {
        SetWindowLongW(tabs, GWL_STYLE, GetWindowLongW(tabs, GWL_STYLE) | TCS_OWNERDRAWFIXED);
        SetWindowSubclass(tabs, GuardedSubclass<TabBackgroundSubclass>, kTabSubclassId, 0);
    }
}

void DrawDarkTab(const DRAWITEMSTRUCT& item) {
    wchar_t text[128] = {};
    TCITEMW tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = text;
    tab.cchTextMax = 128;
    SendMessageW(item.hwndItem, TCM_GETITEMW, item.itemID, reinterpret_cast<LPARAM>(&tab));
    const UniqueHBrush brush(CreateSolidBrush(kDarkBackgroundColor));
    FillRect(item.hDC, &item.rcItem, brush.get());
    SetTextColor(item.hDC, kDarkTextColor);
    SetBkColor(item.hDC, kDarkBackgroundColor);
    RECT rect = item.rcItem;
    DrawTextW(item.hDC, text, -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void InstallMenuBarSubclass(HWND dialog) {
    SetWindowSubclass(dialog, GuardedSubclass<MenuBarSubclass>, kMenuBarSubclassId, 0);
}
