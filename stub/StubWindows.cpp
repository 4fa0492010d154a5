#include "StubWindows.h"

#include "resource.h"

namespace {

RECT childRect(HWND dialog, HWND control)
{
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&r), 2);
    return r;
}

struct Shift {
    int from;
    int by;
};

BOOL CALLBACK shiftChild(HWND control, LPARAM data)
{
    const Shift *shift = reinterpret_cast<const Shift *>(data);
    const HWND dialog = GetParent(control);
    const RECT r = childRect(dialog, control);
    if (r.top >= shift->from)
        SetWindowPos(control, nullptr, r.left, r.top + shift->by, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}

// Moves the controls from `from` (client y) downwards by `by` pixels and
// resizes the window to match.
void shiftControls(HWND dialog, int from, int by)
{
    Shift shift{from, by};
    EnumChildWindows(dialog, shiftChild, reinterpret_cast<LPARAM>(&shift));
    RECT w;
    GetWindowRect(dialog, &w);
    SetWindowPos(dialog, nullptr, 0, 0, w.right - w.left, w.bottom - w.top + by,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The height the text needs at the control's width, wrapped as the control
// wraps it.
int neededHeight(HWND control, const std::wstring &text, UINT extraFlags)
{
    RECT r;
    GetClientRect(control, &r);
    const HDC dc = GetDC(control);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | extraFlags);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return r.bottom - r.top;
}

// Makes the control tall enough for its text (never more than half the
// screen), moving what is below it down.
void fitText(HWND dialog, int id, const std::wstring &text, UINT extraFlags)
{
    const HWND control = GetDlgItem(dialog, id);
    SetWindowTextW(control, text.c_str());
    const RECT r = childRect(dialog, control);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int height = neededHeight(control, text, extraFlags);
    if (height > (work.bottom - work.top) / 2)
        height = (work.bottom - work.top) / 2;
    const int grow = height - (r.bottom - r.top);
    if (grow <= 0)
        return;
    shiftControls(dialog, r.bottom, grow);
    SetWindowPos(control, nullptr, 0, 0, r.right - r.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Centres the window on its owner's screen after it changed size.
void recentre(HWND window)
{
    RECT w, work;
    GetWindowRect(window, &w);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + ((work.right - work.left) - (w.right - w.left)) / 2;
    const int y = work.top + ((work.bottom - work.top) - (w.bottom - w.top)) / 2;
    SetWindowPos(window, nullptr, x, y < work.top ? work.top : y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK overwriteProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const auto *question = reinterpret_cast<const OverwriteQuestion *>(lParam);
        SetWindowTextW(dialog, text(Text::OverwriteCaption));
        setTexts(dialog, {{IDYES, Text::Yes}, {IDC_YES_ALL, Text::YesToAll}, {IDNO, Text::No},
                          {IDC_NO_ALL, Text::NoToAll}, {IDCANCEL, Text::Cancel}});
        SetDlgItemTextW(dialog, IDC_EXISTING_INFO,
                        say(Text::ExistingFileInfo, {sizeText(question->existingSize), dateText(question->existingTime)})
                            .c_str());
        SetDlgItemTextW(dialog, IDC_ARCHIVE_INFO,
                        say(Text::ArchiveFileInfo, {sizeText(question->newSize), dateText(question->newTime)}).c_str());
        fitText(dialog, IDC_OVERWRITE_TEXT, say(Text::OverwriteQuestion, {question->path}), DT_EDITCONTROL);
        recentre(dialog);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        const int id = LOWORD(wParam);
        if (id == IDYES || id == IDNO || id == IDC_YES_ALL || id == IDC_NO_ALL || id == IDCANCEL) {
            EndDialog(dialog, id);
            return TRUE;
        }
    }
    return FALSE;
}

struct PasswordRequest {
    std::wstring entry;
    std::wstring password;
};

INT_PTR CALLBACK passwordProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const auto *request = reinterpret_cast<PasswordRequest *>(lParam);
        SetWindowTextW(dialog, text(Text::PasswordCaption));
        setTexts(dialog, {{IDOK, Text::Ok}, {IDCANCEL, Text::Cancel}});
        SetDlgItemTextW(dialog, IDC_PASSWORD_TEXT, say(Text::PasswordFor, {request->entry}).c_str());
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        if (LOWORD(wParam) == IDOK) {
            auto *request = reinterpret_cast<PasswordRequest *>(GetWindowLongPtrW(dialog, DWLP_USER));
            wchar_t typed[256] = {};
            GetDlgItemTextW(dialog, IDC_PASSWORD, typed, 256);
            request->password = typed;
        }
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

struct Report {
    const std::wstring *caption;
    const std::wstring *summary;
    const std::wstring *list;
};

INT_PTR CALLBACK reportProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const auto *report = reinterpret_cast<const Report *>(lParam);
        SetWindowTextW(dialog, report->caption->c_str());
        setTexts(dialog, {{IDOK, Text::Ok}, {IDC_REPORT_LIST_LABEL, Text::ReportFullList}});
        SendDlgItemMessageW(dialog, IDC_REPORT_ICON, STM_SETICON,
                            reinterpret_cast<WPARAM>(LoadIconW(nullptr, MAKEINTRESOURCEW(32513))), 0); // IDI_ERROR
        SetDlgItemTextW(dialog, IDC_REPORT_SUMMARY, report->summary->c_str());
        SetDlgItemTextW(dialog, IDC_REPORT_LIST, report->list->c_str());
        setWindowIcon(dialog);
        MessageBeep(MB_ICONERROR);
        SetFocus(GetDlgItem(dialog, IDOK));
        return FALSE; // the focus is set
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    return FALSE;
}

} // namespace

void setWindowIcon(HWND window)
{
    const HINSTANCE self = GetModuleHandleW(nullptr);
    const HANDLE big = LoadImageW(self, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                  GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR);
    const HANDLE small = LoadImageW(self, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                    GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR);
    if (big)
        SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (small)
        SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

void setTexts(HWND dialog, std::initializer_list<std::pair<int, Text>> texts)
{
    for (const auto &[id, which] : texts)
        SetDlgItemTextW(dialog, id, text(which));
}

void closeGap(HWND dialog, int bandId, int nextId)
{
    const RECT band = childRect(dialog, GetDlgItem(dialog, bandId));
    const RECT next = childRect(dialog, GetDlgItem(dialog, nextId));
    shiftControls(dialog, next.top, band.top - next.top);
}

std::wstring dateText(const FILETIME &utc)
{
    SYSTEMTIME universal, local;
    if (!FileTimeToSystemTime(&utc, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return std::wstring();
    wchar_t date[80] = {};
    wchar_t time[80] = {};
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 80);
    GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &local, nullptr, time, 80);
    return std::wstring(date) + L" " + time;
}

OverwriteAnswer askOverwrite(HWND owner, const OverwriteQuestion &question)
{
    switch (DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OVERWRITE), owner, overwriteProc,
                            reinterpret_cast<LPARAM>(&question))) {
    case IDYES: return OverwriteAnswer::Yes;
    case IDC_YES_ALL: return OverwriteAnswer::YesToAll;
    case IDC_NO_ALL: return OverwriteAnswer::NoToAll;
    case IDNO: return OverwriteAnswer::No;
    default: return OverwriteAnswer::Cancel;
    }
}

bool askPassword(HWND owner, const std::wstring &entry, std::wstring &password)
{
    PasswordRequest request{entry, std::wstring()};
    if (DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PASSWORD), owner, passwordProc,
                        reinterpret_cast<LPARAM>(&request)) != IDOK)
        return false;
    password = request.password;
    return true;
}

void showReport(HWND owner, const std::wstring &caption, const std::wstring &summary, const std::wstring &list)
{
    Report report{&caption, &summary, &list};
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_REPORT), owner, reportProc,
                    reinterpret_cast<LPARAM>(&report));
}
