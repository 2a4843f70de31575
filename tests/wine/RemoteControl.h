#pragma once
// Reading controls that belong to another process. Text goes through
// WM_GETTEXT, which the system marshals; list-view items need a buffer in the
// target process.
#include <windows.h>

#include <string>
#include <vector>

namespace kwo::wine_test {

// How long a message to another process may take before it counts as hung.
constexpr UINT kMessageTimeoutMs = 5000;

bool ReadControlText(HWND control, std::wstring& text);
// All rows, each with the text of every column (one column if there is no header).
bool ReadListView(HWND listView, std::vector<std::vector<std::wstring>>& rows);
bool ReadListViewSelection(HWND listView, std::vector<int>& rows);
// A row's whole rectangle, in the list-view's client coordinates.
bool ListViewRowRect(HWND listView, int row, RECT& rect);

}  // namespace kwo::wine_test
