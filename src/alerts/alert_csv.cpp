#include "alerts/alert_csv.h"

#include "alerts/alert_cells.h"
#include "base/file_io.h"
#include "base/utf8.h"

std::string CsvQuoted(const std::wstring& text) {
    std::string quoted = "\"";
    for (char byte : WideToUtf8(text)) {
        quoted += byte;
        if (byte == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

std::string FormatAlertCsvLine(const AlertRecord& record) {
    return CsvQuoted(AlertCellText(record, 0)) + ',' + std::to_string(record.PID) + ',' + CsvQuoted(record.Process) + ',' +
           CsvQuoted(record.Violation) + "\r\n";
}

bool ExportAlertCsv(AlertHistoryStore& store, const std::wstring& path, std::wstring_view header) {
    FilePtr file = OpenFile(path, "wb");
    if (!file) {
        return false;
    }
    std::string bytes(kUtf8Bom);
    bytes += WideToUtf8(header) + "\r\n";
    {
        // Only the formatting holds the lock; the disk is written after, so alert delivery never
        // waits for a slow drive.
        AlertHistoryLock history(store);
        for (size_t i = 0; i < history->Count(); ++i) {
            bytes += FormatAlertCsvLine(history->At(i));
        }
    }
    const bool written = WriteAll(file.get(), bytes);
    return std::fclose(file.release()) == 0 && written;
}
