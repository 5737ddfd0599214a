#pragma once

#include <windows.h>

#include <string>

// An edit box laid exactly over one cell of a report-view list. Enter and the loss of the focus
// post endMessage with wParam 1 (commit) to the list's parent, Esc posts it with wParam 0.
class CellEditor {
public:
    CellEditor() = default;
    ~CellEditor() { End(); }
    CellEditor(const CellEditor&) = delete;
    CellEditor& operator=(const CellEditor&) = delete;

    // Opens the editor over the cell with the cell's text ("-" starts empty), all of it selected
    // and focused; false when the editor cannot be created.
    bool Begin(HWND list, int row, int column, UINT endMessage);
    // Destroys the editor; the column becomes -1.
    void End();

    bool Active() const { return editor_ != nullptr; }
    int Column() const { return column_; }
    // The typed text, at most 255 characters.
    std::wstring Text() const;

private:
    HWND editor_ = nullptr;
    int column_ = -1;
};
