// A dialog's table of text: a list view of columns and rows filled once, whose last column takes the rest of its
// width, in a dialog that its Close (cancel) button, Enter and Escape end. Win32 side.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TableColumn {
    const wchar_t* title;
    int width; // at 96 DPI; the last column's is its least before it takes the rest
};

// Fills `list` with these columns, at the list's DPI, and rows of text, a cell a column; full-row selection.
void FillTextTable(HWND list, const std::vector<TableColumn>& columns,
                   const std::vector<std::vector<std::u16string>>& rows);

// The last column takes whatever width the list has left.
void FitLastColumn(HWND list);

// What a table's dialog answers alike, its procedure's answer: a new size fits the last column of the list `listId`,
// and Close ends the dialog. False for any other message.
INT_PTR TableDialogMessage(HWND dialog, int listId, UINT message, WPARAM wParam);
