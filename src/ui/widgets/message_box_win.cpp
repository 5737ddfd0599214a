#include "ui/widgets/message_box_win.h"

#include "base/resource_strings_win.h"

int ShowMessage(HWND owner, const std::wstring& text, UINT flags, UINT titleId) {
    return MessageBoxW(owner, text.c_str(), LoadStringResource(titleId).c_str(), flags);
}
