#include "ui/widgets/dark_controls_win.h"

#include <commctrl.h>
#include <uxtheme.h>
#include <vsstyle.h>
#include <vssym32.h>

#include <memory>

#include "base/handles_win.h"
#include "ui/widgets/dark_mode_win.h"
#include "ui/widgets/subclass_win.h"

namespace {

constexpr UINT_PTR kListViewSubclassId = 2;
constexpr UINT_PTR kMenuBarSubclassId = 2;
constexpr UINT_PTR kTabSubclassId = 3;

using UniqueHTheme = UniqueNullHandle<HTHEME, CloseThemeData>;

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

// Colours the dark header's text, read again from the theme at each theme change.
class ListViewTheme : public SubclassHandler {
public:
    bool OnMessage(HWND list, UINT message, WPARAM, LPARAM lParam, LRESULT& result) override {
        switch (message) {
        case WM_NOTIFY: return OnNotify(list, *reinterpret_cast<const NMHDR*>(lParam), result);
        case WM_THEMECHANGED: OnListThemeChanged(list, headerText_); return false;
        default: return false;
        }
    }

private:
    bool OnNotify(HWND list, const NMHDR& notice, LRESULT& result) const {
        if (notice.code != static_cast<UINT>(NM_CUSTOMDRAW) || notice.hwndFrom != ListView_GetHeader(list)) {
            return false;
        }
        const auto& draw = reinterpret_cast<const NMCUSTOMDRAW&>(notice);
        if (draw.dwDrawStage != CDDS_PREPAINT && draw.dwDrawStage != CDDS_ITEMPREPAINT) {
            return false;
        }
        result = OnHeaderCustomDraw(draw, headerText_);
        return true;
    }

    COLORREF headerText_ = 0;
};

// The dark tab control's background and its owner-drawn tabs, with one brush for both.
class TabBackground : public SubclassHandler {
public:
    TabBackground() : brush_(CreateSolidBrush(kDarkBackgroundColor)) {}

    bool OnMessage(HWND tabs, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        switch (message) {
        case WM_ERASEBKGND: OnEraseBackground(tabs, reinterpret_cast<HDC>(wParam)); break;
        case WM_DRAWITEM: OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); break;
        default: return false;
        }
        result = 1;
        return true;
    }

private:
    void OnEraseBackground(HWND tabs, HDC dc) const {
        RECT client = {};
        GetClientRect(tabs, &client);
        FillRect(dc, &client, brush_.get());
    }
    void OnDrawItem(const DRAWITEMSTRUCT& item) const {
        wchar_t text[128] = {};
        TCITEMW tab = {};
        tab.mask = TCIF_TEXT;
        tab.pszText = text;
        tab.cchTextMax = 128;
        SendMessageW(item.hwndItem, TCM_GETITEMW, item.itemID, reinterpret_cast<LPARAM>(&tab));
        FillRect(item.hDC, &item.rcItem, brush_.get());
        SetTextColor(item.hDC, kDarkTextColor);
        SetBkColor(item.hDC, kDarkBackgroundColor);
        RECT rect = item.rcItem;
        DrawTextW(item.hDC, text, -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }

    UniqueHBrush brush_;
};

int MenuItemThemeState(UINT itemState) {
    if (itemState & (ODS_GRAYED | ODS_DISABLED)) {
        return MPI_DISABLED;
    }
    if (itemState & (ODS_SELECTED | ODS_HOTLIGHT)) {
        return MPI_HOT;
    }
    return (itemState & (ODS_INACTIVE | ODS_DEFAULT)) ? MPI_NORMAL : 0;
}

void DrawMenuBar(HWND dialog, HTHEME theme, const MenuBarRecord& bar) {
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
    DrawThemeBackground(theme, bar.dc, MENU_POPUPITEM, MPI_NORMAL, &rect, nullptr);
}

void DrawMenuBarItem(HTHEME theme, const MenuBarItemDraw& draw) {
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
    DrawThemeBackground(theme, draw.item.hDC, MENU_POPUPITEM, state, &draw.item.rcItem, nullptr);
    DrawThemeText(theme, draw.item.hDC, MENU_POPUPITEM, state, text, -1, flags, 0, &draw.item.rcItem);
}

// Draws the dialog's menu bar dark with the dialog's own menu theme, reopened after a theme change.
class MenuBarTheme : public SubclassHandler {
public:
    bool OnMessage(HWND dialog, UINT message, WPARAM, LPARAM lParam, LRESULT& result) override {
        switch (message) {
        case WM_THEMECHANGED: theme_.reset(); return false;
        case kDrawMenuBar:
        case kDrawMenuBarItem: return OnDraw(dialog, message, lParam, result);
        default: return false;
        }
    }

private:
    bool OnDraw(HWND dialog, UINT message, LPARAM lParam, LRESULT& result) {
        if (!DarkMode().enabled || !LiveDarkMode()) {
            return false;
        }
        if (!theme_) {
            theme_.reset(OpenThemeData(dialog, L"Menu"));
        }
        if (!theme_) {
            return false;
        }
        if (message == kDrawMenuBar) {
            DrawMenuBar(dialog, theme_.get(), *reinterpret_cast<const MenuBarRecord*>(lParam));
        } else {
            DrawMenuBarItem(theme_.get(), *reinterpret_cast<const MenuBarItemDraw*>(lParam));
        }
        result = 0;
        return true;
    }

    UniqueHTheme theme_;
};

}  // namespace

void SetupListViewTheme(HWND list) {
    HWND header = ListView_GetHeader(list);
    InstallSubclass(list, kListViewSubclassId, std::make_unique<ListViewTheme>());
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
        InstallSubclass(tabs, kTabSubclassId, std::make_unique<TabBackground>());
    }
}

void DrawDarkTab(const DRAWITEMSTRUCT& item) {
    // Handed back to the tab control, whose subclass holds the brush.
    SendMessageW(item.hwndItem, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
}

void InstallMenuBarSubclass(HWND dialog) {
    InstallSubclass(dialog, kMenuBarSubclassId, std::make_unique<MenuBarTheme>());
}
