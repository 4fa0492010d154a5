// The extractor stub: a Windows program that finds the options header right
// after its own image and the archive at the end of its own file, and
// extracts the archive as the header says. Switches for unattended use:
//   -s silent, -d DIR target folder, -p PASSWORD, -y overwrite all,
//   -l list the contents, -t test without extracting ("/" works as "-").
// Exit codes: 0 success, 1 error, 2 cancelled; in silent mode the exit code
// of the command run after extraction.

#include "CommandLine.h"
#include "Extractor.h"
#include "SfxHeader.h"
#include "StubArchive.h"
#include "resource.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace {

enum ExitCode { kSuccess = 0, kError = 1, kCancelled = 2 };

struct Switches {
    bool silent = false;
    bool overwriteAll = false;
    bool list = false;
    bool test = false;
    bool hasFolder = false;
    std::wstring folder;
    std::string password;
    std::wstring bad; // an unknown switch
};

struct Options {
    std::wstring caption = L"Self-extracting archive";
    std::wstring folder;
    std::wstring command;
    std::wstring message;
    uint8_t flags = 0;
    bool has(uint8_t flag) const { return (flags & flag) != 0; }
};

struct App {
    StubArchive archive;
    Switches switches;
    Options options;
    std::wstring folder;
    std::wstring tempFolder; // made for this run when "><" is the proposed folder, ends with "\"
    std::wstring command;
    Overwrite overwrite = Overwrite::Ask;
    std::vector<bool> selected;
    bool extracting = false;
    bool cancel = false;
    HWND window = nullptr;
    ExtractResult result;
};

std::string toUtf8(const std::wstring &text)
{
    if (text.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

void writeStd(DWORD which, const std::wstring &text)
{
    const HANDLE h = GetStdHandle(which);
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return;
    const std::string bytes = toUtf8(text);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Tells the user: a message box, or standard error in silent mode.
void tell(const App &app, const std::wstring &text, UINT icon = MB_ICONERROR)
{
    if (app.switches.silent)
        writeStd(STD_ERROR_HANDLE, text + L"\r\n");
    else
        MessageBoxW(app.window, text.c_str(), app.options.caption.c_str(), MB_OK | icon);
}

Switches parseSwitches()
{
    Switches s;
    int count = 0;
    wchar_t **args = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; args && i < count; ++i) {
        std::wstring a = args[i];
        if (a.size() != 2 || (a[0] != L'-' && a[0] != L'/')) {
            s.bad = a;
            continue;
        }
        switch (towlower(a[1])) {
        case L's': s.silent = true; break;
        case L'y': s.overwriteAll = true; break;
        case L'l': s.list = true; break;
        case L't': s.test = true; break;
        case L'd':
            if (i + 1 < count) {
                s.folder = args[++i];
                s.hasFolder = true;
            } else
                s.bad = a;
            break;
        case L'p':
            if (i + 1 < count) {
                const std::wstring password = args[++i];
                s.password = toUtf8(password);
            } else
                s.bad = a;
            break;
        default: s.bad = a;
        }
    }
    LocalFree(args);
    return s;
}

std::wstring ownPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

Options readOptions(const StubArchive &archive)
{
    Options o;
    uint8_t bytes[zipformat::SfxHeader::kLargestSize] = {};
    size_t available = sizeof bytes;
    while (available > 0 && !archive.readAt(archive.imageEnd(), bytes, available))
        available /= 2;
    if (available < 3 || bytes[0] != 'M' || bytes[1] != 'P' || (bytes[2] != 'V' && bytes[2] != 'U'))
        return o; // an archive simply appended: the defaults
    const auto header = zipformat::SfxHeader::find(bytes, available);
    if (!header)
        return o;
    // Texts are UTF-8; headers that are not hold the Windows code page.
    o.caption = decodeText(header->caption, true, CP_ACP);
    if (o.caption.empty())
        o.caption = L"Self-extracting archive";
    o.folder = decodeText(header->defaultDir, true, CP_ACP);
    o.command = decodeText(header->commandLine, true, CP_ACP);
    o.message = decodeText(header->message, true, CP_ACP);
    o.flags = header->flags;
    return o;
}

std::wstring replaceAll(std::wstring text, const std::wstring &what, const std::wstring &with)
{
    for (size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

std::wstring withBackslash(std::wstring folder)
{
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    return folder;
}

std::wstring hex(uint32_t n)
{
    std::wstring text;
    do
        text.insert(text.begin(), L"0123456789abcdef"[n % 16]);
    while ((n /= 16) != 0);
    return text;
}

std::wstring userTempFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    return withBackslash(temp);
}

// A new folder inside the user's temporary folder, ours alone: creating a
// folder fails when it exists, so two packages never share one.
std::wstring makeTempFolder()
{
    const std::wstring temp = userTempFolder();
    const std::wstring stem = temp + L"sfx" + hex(GetCurrentProcessId()) + L"-" + hex(GetTickCount()) + L"-";
    for (uint32_t attempt = 0; attempt < 10000; ++attempt) {
        const std::wstring folder = stem + hex(attempt);
        if (CreateDirectoryW(folder.c_str(), nullptr))
            return folder + L"\\";
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return std::wstring();
}

// Removes the folder and everything inside it; a link to a folder is
// removed, never what it points to.
void removeTree(const std::wstring &folder)
{
    const std::wstring base = withBackslash(folder);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((base + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = base + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                DeleteFileW(path.c_str());
            else if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                RemoveDirectoryW(path.c_str());
            else
                removeTree(path);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// The proposed folder: "><" is a new folder inside the user's temporary
// folder, empty the folder of the program itself.
std::wstring proposedFolder(App &app)
{
    const Options &o = app.options;
    if (o.folder.empty()) {
        std::wstring path = ownPath();
        return path.substr(0, path.find_last_of(L"\\/") + 1);
    }
    if (o.folder.find(L"><") == std::wstring::npos)
        return o.folder;
    app.tempFolder = makeTempFolder();
    return replaceAll(o.folder, L"><", app.tempFolder.empty() ? userTempFolder() : app.tempFolder);
}

// Whether the files went to the folder made for this run.
bool inTempFolder(const App &app)
{
    const std::wstring folder = withBackslash(app.folder);
    return !app.tempFolder.empty() && folder.size() >= app.tempFolder.size()
        && CompareStringOrdinal(folder.c_str(), static_cast<int>(app.tempFolder.size()), app.tempFolder.c_str(),
                                static_cast<int>(app.tempFolder.size()), TRUE) == CSTR_EQUAL;
}

// Runs the command with the folder as its working folder; a document opens
// with its associated program. Returns the exit code when waiting.
int runCommand(const std::wstring &command, const std::wstring &folder, bool wait)
{
    std::wstring file = command;
    std::wstring parameters;
    if (!command.empty() && command[0] == L'"') {
        const size_t close = command.find(L'"', 1);
        file = command.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
        if (close != std::wstring::npos && close + 1 < command.size())
            parameters = command.substr(close + 2);
    } else if (GetFileAttributesW((withBackslash(folder) + command).c_str()) == INVALID_FILE_ATTRIBUTES
               && GetFileAttributesW(command.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const size_t space = command.find(L' ');
        if (space != std::wstring::npos) {
            file = command.substr(0, space);
            parameters = command.substr(space + 1);
        }
    }
    SetCurrentDirectoryW(folder.c_str());
    SHELLEXECUTEINFOW info {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | (wait ? SEE_MASK_FLAG_NO_UI : 0);
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info))
        return -1;
    DWORD code = 0;
    if (info.hProcess) {
        if (wait) {
            WaitForSingleObject(info.hProcess, INFINITE);
            GetExitCodeProcess(info.hProcess, &code);
        }
        CloseHandle(info.hProcess);
    }
    return static_cast<int>(code);
}

void pumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(GetActiveWindow(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

INT_PTR CALLBACK overwriteProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const std::wstring text = L"This file already exists:\n" + *reinterpret_cast<std::wstring *>(lParam)
            + L"\n\nReplace it?";
        SetDlgItemTextW(dialog, IDC_OVERWRITE_TEXT, text.c_str());
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
        SetDlgItemTextW(dialog, IDC_PASSWORD_TEXT, (L"Password for " + request->entry + L":").c_str());
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        if (LOWORD(wParam) == IDOK) {
            auto *request = reinterpret_cast<PasswordRequest *>(GetWindowLongPtrW(dialog, DWLP_USER));
            wchar_t text[256] = {};
            GetDlgItemTextW(dialog, IDC_PASSWORD, text, 256);
            request->password = text;
        }
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

void connectQuestions(App &app, Extractor &extractor)
{
    if (app.switches.silent)
        return; // nobody to ask: existing files are kept, a wrong password is an error
    extractor.askOverwrite = [&app](const OverwriteQuestion &question) {
        std::wstring shown = question.path;
        switch (DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OVERWRITE), app.window,
                                overwriteProc, reinterpret_cast<LPARAM>(&shown))) {
        case IDYES: return OverwriteAnswer::Yes;
        case IDC_YES_ALL: return OverwriteAnswer::YesToAll;
        case IDC_NO_ALL: return OverwriteAnswer::NoToAll;
        case IDCANCEL: return OverwriteAnswer::Cancel;
        default: return OverwriteAnswer::No;
        }
    };
    extractor.askPassword = [&app](const std::wstring &entry, std::string &password) {
        PasswordRequest request{entry, std::wstring()};
        if (DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PASSWORD), app.window, passwordProc,
                            reinterpret_cast<LPARAM>(&request)) != IDOK)
            return false;
        password = toUtf8(request.password);
        return true;
    };
}

bool enoughSpace(const App &app)
{
    if (app.options.has(zipformat::SfxHeader::NoCheckSize))
        return true;
    uint64_t needed = 0;
    for (size_t i = 0; i < app.archive.entries().size(); ++i)
        if (app.selected.empty() || app.selected[i])
            needed += app.archive.entries()[i].uncompressedSize;
    std::wstring probe = withBackslash(app.folder);
    ULARGE_INTEGER available {};
    // The folder may not exist yet: ask about the nearest one that does.
    while (!GetDiskFreeSpaceExW(probe.c_str(), &available, nullptr, nullptr)) {
        const size_t cut = probe.find_last_of(L"\\/", probe.size() - 2);
        if (cut == std::wstring::npos || cut < 2)
            return true;
        probe.resize(cut + 1);
    }
    return available.QuadPart >= needed;
}

// The folder as a full path: a relative one is taken from the current
// folder, and the command and the messages name the real folder.
std::wstring fullPath(const std::wstring &folder)
{
    const DWORD size = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return folder;
    std::wstring path(size, L'\0');
    const DWORD n = GetFullPathNameW(folder.c_str(), size, &path[0], nullptr);
    if (n == 0 || n >= size)
        return folder;
    path.resize(n);
    return path;
}

std::wstring problemText(Problem problem)
{
    switch (problem) {
    case Problem::OutsideFolder: return L"Refused (outside the folder)";
    case Problem::CannotCreateFolder: return L"Cannot create the folder";
    case Problem::CannotWrite: return L"Cannot write";
    case Problem::AccessDenied: return L"Access denied";
    case Problem::DiskFull: return L"The disk is full";
    case Problem::PasswordNeeded: return L"Password needed";
    case Problem::WrongPassword: return L"Wrong password";
    case Problem::Damaged: return L"Damaged data";
    case Problem::BadCrc: return L"Damaged data (CRC error)";
    case Problem::Unsupported: return L"Compression method not supported";
    case Problem::OutOfMemory: return L"Out of memory";
    case Problem::Cancelled: return L"Cancelled";
    case Problem::None: break;
    }
    return std::wstring();
}

std::wstring problemReport(const ExtractResult &result)
{
    std::wstring report;
    for (const ExtractProblem &p : result.problems)
        report += problemText(p.problem) + L": " + p.name + L"\r\n";
    return report;
}

// Extracts with the settings in app; returns the exit code.
int extract(App &app)
{
    app.folder = fullPath(app.folder);
    if (!enoughSpace(app)) {
        tell(app, L"There is not enough free space in " + app.folder + L" for these files.");
        return kError;
    }
    Extractor extractor(app.archive, app.folder, app.overwrite, app.switches.password);
    connectQuestions(app, extractor);
    if (app.window) {
        extractor.progress = [&app](uint64_t done, uint64_t total, const std::wstring &) {
            const int position = total ? static_cast<int>(done * 1000 / total) : 1000;
            SendDlgItemMessageW(app.window, IDC_PROGRESS, PBM_SETPOS, position, 0);
            pumpMessages();
            return !app.cancel;
        };
    }
    app.result = extractor.run(app.selected, false);
    if (app.result.cancelled)
        return kCancelled;
    if (!app.result.problems.empty()) {
        tell(app, L"Some files were not extracted:\r\n" + problemReport(app.result));
        return kError;
    }
    return kSuccess;
}

void hide(HWND dialog, std::initializer_list<int> ids)
{
    for (int id : ids)
        ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
}

// Moves the controls below a hidden band up by its height and shrinks the
// window, so hidden parts leave no gap.
void closeGap(HWND dialog, int fromId, std::initializer_list<int> below)
{
    RECT band;
    GetWindowRect(GetDlgItem(dialog, fromId), &band);
    RECT next;
    GetWindowRect(GetDlgItem(dialog, *below.begin()), &next);
    const int shift = next.top - band.top;
    for (int id : below) {
        HWND control = GetDlgItem(dialog, id);
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&r), 2);
        SetWindowPos(control, nullptr, r.left, r.top - shift, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    RECT w;
    GetWindowRect(dialog, &w);
    SetWindowPos(dialog, nullptr, 0, 0, w.right - w.left, w.bottom - w.top - shift, SWP_NOMOVE | SWP_NOZORDER);
}

void initMainDialog(HWND dialog, App &app)
{
    app.window = dialog;
    SetWindowTextW(dialog, app.options.caption.c_str());
    SetDlgItemTextW(dialog, IDC_FOLDER, app.folder.c_str());
    HWND overwrite = GetDlgItem(dialog, IDC_OVERWRITE);
    for (const wchar_t *choice : {L"Ask before replacing", L"Replace them", L"Keep them"})
        SendMessageW(overwrite, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
    SendMessageW(overwrite, CB_SETCURSEL, static_cast<WPARAM>(app.overwrite), 0);
    SendDlgItemMessageW(dialog, IDC_PROGRESS, PBM_SETRANGE32, 0, 1000);

    const bool pickFiles = app.options.has(zipformat::SfxHeader::AskFiles);
    const bool askCommand = app.options.has(zipformat::SfxHeader::AskCmdLine) && !app.command.empty();
    if (app.options.has(zipformat::SfxHeader::HideOverwriteBox))
        hide(dialog, {IDC_OVERWRITE_LABEL, IDC_OVERWRITE});
    if (pickFiles) {
        HWND list = GetDlgItem(dialog, IDC_FILES);
        ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        LVCOLUMNW column {};
        column.mask = LVCF_WIDTH;
        RECT r;
        GetClientRect(list, &r);
        column.cx = r.right - GetSystemMetrics(SM_CXVSCROLL);
        ListView_InsertColumn(list, 0, &column);
        const auto &entries = app.archive.entries();
        for (size_t i = 0; i < entries.size(); ++i) {
            LVITEMW item {};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(i);
            item.pszText = const_cast<wchar_t *>(entries[i].name.c_str());
            ListView_InsertItem(list, &item);
            ListView_SetCheckState(list, static_cast<int>(i), TRUE);
        }
    } else {
        hide(dialog, {IDC_FILES});
        closeGap(dialog, IDC_FILES, {IDC_COMMAND_LABEL, IDC_COMMAND, IDC_PROGRESS, IDOK, IDCANCEL});
    }
    if (askCommand) {
        SetDlgItemTextW(dialog, IDC_COMMAND, app.command.c_str());
    } else {
        hide(dialog, {IDC_COMMAND_LABEL, IDC_COMMAND});
        closeGap(dialog, IDC_COMMAND, {IDC_PROGRESS, IDOK, IDCANCEL});
    }
}

void browse(HWND dialog)
{
    BROWSEINFOW info {};
    info.hwndOwner = dialog;
    info.lpszTitle = L"Choose the folder to extract to";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen)
        return;
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path))
        SetDlgItemTextW(dialog, IDC_FOLDER, path);
    CoTaskMemFree(chosen);
}

std::wstring dialogText(HWND dialog, int id)
{
    const int length = GetWindowTextLengthW(GetDlgItem(dialog, id));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetDlgItemTextW(dialog, id, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

void startFromDialog(HWND dialog, App &app)
{
    app.folder = dialogText(dialog, IDC_FOLDER);
    if (app.folder.empty()) {
        tell(app, L"Please choose the folder to extract to.", MB_ICONWARNING);
        return;
    }
    app.overwrite = static_cast<Overwrite>(SendDlgItemMessageW(dialog, IDC_OVERWRITE, CB_GETCURSEL, 0, 0));
    if (IsWindowVisible(GetDlgItem(dialog, IDC_COMMAND)))
        app.command = dialogText(dialog, IDC_COMMAND);
    if (IsWindowVisible(GetDlgItem(dialog, IDC_FILES))) {
        HWND list = GetDlgItem(dialog, IDC_FILES);
        app.selected.assign(app.archive.entries().size(), false);
        for (size_t i = 0; i < app.selected.size(); ++i)
            app.selected[i] = ListView_GetCheckState(list, static_cast<int>(i)) != 0;
    }
    for (int id : {IDC_FOLDER, IDC_BROWSE, IDC_OVERWRITE, IDC_FILES, IDC_COMMAND, IDOK})
        EnableWindow(GetDlgItem(dialog, id), FALSE);
    app.extracting = true;
    const int code = extract(app);
    app.extracting = false;
    EndDialog(dialog, code);
}

INT_PTR CALLBACK mainProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    App *app = reinterpret_cast<App *>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        initMainDialog(dialog, *reinterpret_cast<App *>(lParam));
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_BROWSE: browse(dialog); return TRUE;
        case IDOK: startFromDialog(dialog, *app); return TRUE;
        case IDCANCEL:
            if (app->extracting)
                app->cancel = true;
            else
                EndDialog(dialog, kCancelled);
            return TRUE;
        }
        break;
    case WM_CLOSE:
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }
    return FALSE;
}

std::wstring decimal(uint64_t n)
{
    wchar_t digits[24];
    wchar_t *p = digits + 23;
    *p = 0;
    do
        *--p = static_cast<wchar_t>(L'0' + n % 10);
    while ((n /= 10) != 0);
    return p;
}

int listContents(const App &app)
{
    std::wstring text;
    for (const StubEntry &e : app.archive.entries())
        text += decimal(e.uncompressedSize) + L"\t" + e.name + L"\r\n";
    writeStd(STD_OUTPUT_HANDLE, text);
    return kSuccess;
}

int testContents(App &app)
{
    Extractor extractor(app.archive, std::wstring(), Overwrite::Never, app.switches.password);
    connectQuestions(app, extractor);
    const ExtractResult result = extractor.run({}, true);
    if (result.cancelled)
        return kCancelled;
    if (!result.problems.empty()) {
        tell(app, L"The archive is damaged:\r\n" + problemReport(result));
        return kError;
    }
    if (app.switches.silent)
        writeStd(STD_OUTPUT_HANDLE, L"No errors.\r\n");
    else
        tell(app, L"No errors were found in the archive.", MB_ICONINFORMATION);
    return kSuccess;
}

int afterExtraction(App &app)
{
    const bool silent = app.switches.silent;
    if (!silent && !app.options.has(zipformat::SfxHeader::NoSuccessMsg))
        tell(app, L"The files were extracted to " + app.folder + L".", MB_ICONINFORMATION);
    if (app.command.empty())
        return kSuccess;
    const std::wstring command = stubcommand::expandFolderMarks(app.command, withBackslash(app.folder));
    if (!silent && app.options.has(zipformat::SfxHeader::AskCmdLine) && !app.window
        && MessageBoxW(nullptr, (L"Run " + command + L" now?").c_str(), app.options.caption.c_str(),
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
        return kSuccess;
    // Files in the temporary folder are removed once the command has ended.
    const int code = runCommand(command, app.folder, silent || inTempFolder(app));
    if (code < 0) {
        tell(app, L"The command could not be started: " + command);
        return kError;
    }
    return silent ? code : kSuccess;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    App app;
    app.switches = parseSwitches();
    if (!app.switches.bad.empty()) {
        app.switches.silent = true;
        tell(app, L"Unknown switch " + app.switches.bad
                      + L". Use -s (silent), -d FOLDER, -p PASSWORD, -y (overwrite all), -l (list), -t (test).");
        return kError;
    }
    if (!app.archive.open(ownPath())) {
        tell(app, app.archive.error());
        return kError;
    }
    app.options = readOptions(app.archive);
    if (app.switches.list)
        return listContents(app);
    if (app.switches.test)
        return testContents(app);

    const Options &o = app.options;
    if (!app.switches.silent && !o.message.empty()) {
        std::wstring text = o.message;
        UINT buttons = MB_OK;
        if (text[0] == 1 || text[0] == 2) {
            buttons = text[0] == 1 ? MB_OKCANCEL : MB_YESNO;
            text.erase(0, 1);
        }
        const int answer = MessageBoxW(nullptr, text.c_str(), o.caption.c_str(), buttons | MB_ICONQUESTION);
        if (answer == IDCANCEL || answer == IDNO)
            return kCancelled;
    }

    app.folder = app.switches.hasFolder ? app.switches.folder : proposedFolder(app);
    app.command = o.command;
    app.overwrite = app.switches.overwriteAll ? Overwrite::Always
        : o.has(zipformat::SfxHeader::OverwriteNever)   ? Overwrite::Never
        : o.has(zipformat::SfxHeader::OverwriteAlways)  ? Overwrite::Always
                                                          : Overwrite::Ask;
    if (app.switches.silent && app.overwrite == Overwrite::Ask)
        app.overwrite = Overwrite::Never; // nobody to ask: keep what is there

    int code = kSuccess;
    if (app.switches.silent || o.has(zipformat::SfxHeader::AutoRun))
        code = extract(app);
    else
        code = static_cast<int>(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                                mainProc, reinterpret_cast<LPARAM>(&app)));
    app.window = nullptr;
    if (code == kSuccess)
        code = afterExtraction(app);
    if (!app.tempFolder.empty()) {
        // The temporary folder goes once its command has ended, or when the
        // extraction did not succeed; files extracted there with no command
        // to run stay for the user. A folder chosen instead leaves it empty.
        SetCurrentDirectoryW(userTempFolder().c_str());
        if (inTempFolder(app) && (code != kSuccess || !app.command.empty()))
            removeTree(app.tempFolder);
        else
            RemoveDirectoryW(app.tempFolder.c_str());
    }
    return code;
}
