#pragma once

#include <windows.h>

#include <string>

// Small wrappers of the report-view list messages.
struct ListColumn {
    UINT headerStringId;
    int width;
};

// Inserts the columns in order, left-aligned, headers from the string table, widths (given at 96
// DPI) scaled to the list's DPI.
template <size_t N>
void AddListColumns(HWND list, const ListColumn (&columns)[N]);
void AddListColumn(HWND list, int index, const ListColumn& column);

// Appends a row with its first cell's text and its item data; the new row's index, or -1.
int AppendListRow(HWND list, const std::wstring& text, LPARAM data);
void SetListCell(HWND list, int row, int column, const std::wstring& text);
// A cell's text, at most 255 characters.
std::wstring ListCellText(HWND list, int row, int column);
// The first selected row, or -1.
int SelectedListRow(HWND list);

// Lets the list take Enter while a row is selected, so the dialog hears it as NM_RETURN from the
// list; with no row selected Enter stays the dialog's default button.
void TakeEnterOnSelectedRow(HWND list);

template <size_t N>
void AddListColumns(HWND list, const ListColumn (&columns)[N]) {
    for (size_t i = 0; i < N; ++i) {
        AddListColumn(list, static_cast<int>(i), columns[i]);
    }
}
