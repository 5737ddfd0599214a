#pragma once

#include <windows.h>
#include <commctrl.h>

// One page of the main dialog (the rules above the tabs, and each tab). Its controls are the
// dialog's own, placed by the template; the frame owns the pages, shows the chosen tab and offers
// each page the dialog's messages until one takes them.
class MainDialogPage {
public:
    // Sets the page's controls up once the dialog exists: columns, first contents, timers.
    virtual void Create(HWND dialog) = 0;
    // Shows or hides the page's controls; the rules page always shows.
    virtual void Show(HWND dialog, bool shown) = 0;
    // Shows again what the page reflects (rules, alerts, settings, processes).
    virtual void Refresh(HWND dialog) = 0;
    // A command (click, menu item) or a control's WM_COMMAND notice; true when it was the page's.
    virtual bool OnCommand(HWND, WORD /*id*/, WORD /*code*/) { return false; }
    // A WM_NOTIFY from a control; true when it was the page's.
    virtual bool OnNotify(HWND, NMHDR&) { return false; }
    // Any other message, such as the page's timer; true when it was the page's.
    virtual bool OnMessage(HWND, UINT, WPARAM) { return false; }

protected:
    ~MainDialogPage() = default;
};
