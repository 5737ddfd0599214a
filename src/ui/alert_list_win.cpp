#include "ui/alert_list_win.h"

#include "alerts/alert_cells.h"
#include "base/resource_format.h"
#include "base/resource_strings_win.h"
#include "res/resource.h"
#include "ui/widgets/list_view_win.h"
#include "ui/widgets/message_box_win.h"

void AppendAlertRow(HWND list, const AlertRecord& record) {
    const int row = AppendListRow(list, AlertCellText(record, 0), 0);
    for (int column = 1; column < kAlertColumnCount; ++column) {
        SetListCell(list, row, column, AlertCellText(record, column));
    }
}

void ClearAlertLog(HWND owner, AlertHistoryStore& alerts, const std::wstring& logPath) {
    if (!ClearAlertHistory(alerts, logPath)) {
        const std::wstring text = FillPlaceholder(LoadStringResource(IDS_CLEAR_LOG_FAILED), logPath);
        ShowMessage(owner, text, MB_OK | MB_ICONWARNING);
    }
}
