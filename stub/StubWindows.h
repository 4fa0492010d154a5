#pragma once
// The stub's small windows that need nothing of the extraction's state: the
// overwrite question, the password question and the report of failures,
// with the helpers the main window shares with them.

#include "Extractor.h"
#include "StubTexts.h"

#include <windows.h>

#include <initializer_list>
#include <string>
#include <utility>

// The executable's own icon (resource 1, which the writer replaces) on the
// window's title bar and task button.
void setWindowIcon(HWND window);

// Sets the controls' texts from the language table.
void setTexts(HWND dialog, std::initializer_list<std::pair<int, Text>> texts);

// Moves every control from nextId's top downwards up to bandId's top and
// shrinks the window by as much, so a hidden band leaves no gap.
void closeGap(HWND dialog, int bandId, int nextId);

// A file time (UTC) as the user reads dates, in local time.
std::wstring dateText(const FILETIME &utc);

OverwriteAnswer askOverwrite(HWND owner, const OverwriteQuestion &question);

// Asks for the password of an entry; false when the user cancels.
bool askPassword(HWND owner, const std::wstring &entry, std::wstring &password);

// One window whatever the number of failures: the summary, and the full
// list in a field that scrolls.
void showReport(HWND owner, const std::wstring &caption, const std::wstring &summary, const std::wstring &list);
