// The extractor stub: a Windows program that finds the options header right
// after its own image and the archive at the end of its own file, and
// extracts the archive as the header says. Switches for unattended use:
//   -s silent, -d DIR target folder, -p PASSWORD, -y overwrite all,
//   -l list the contents, -t test without extracting, -? help
//   ("/" works as "-").
// The run started again with administrator rights also gets -x (extract at
// once), -o ask|always|never, -i the selected entries and -c the command.
// Exit codes: 0 success, 1 error, 2 cancelled; in silent mode the exit code
// of the command run after extraction.

#include "CommandLine.h"
#include "Extractor.h"
#include "FolderChoice.h"
#include "SfxHeader.h"
#include "StubArchive.h"
#include "StubTexts.h"
#include "StubWindows.h"
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
    bool help = false;
    bool atOnce = false; // -x: no window before extracting
    bool hasFolder = false;
    bool hasOverwrite = false;
    bool hasCommand = false;
    bool hasSelection = false;
    Overwrite overwrite = Overwrite::Ask;
    std::wstring folder;
    std::wstring command;
    std::wstring selection; // -i: index ranges, or @file holding them
    std::wstring password;
    std::wstring passwordFile; // -k: a file holding the password, removed once read
    std::wstring bad; // an unknown switch
};

struct Options {
    std::wstring caption = text(Text::DefaultCaption);
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
    std::wstring packageName; // the last part of the proposed folder, kept when browsing
    std::wstring tempFolder; // made for this run when "><" is the proposed folder, ends with "\"
    std::wstring command;
    Overwrite overwrite = Overwrite::Ask;
    std::vector<bool> selected;
    bool extracting = false;
    bool cancel = false;       // the user asked to stop; confirmed between two pieces of data
    bool backToChoice = false; // the extraction did not start: the window lets the user choose again
    bool handedOver = false;   // the run started again with administrator rights did everything
    HWND window = nullptr;
    std::wstring shownEntry;
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

// Where -l, -t, the silent messages and the help go. A handle already given
// (a file or a pipe) is kept; otherwise the console of the program that
// started us, when there is one: a GUI program gets none of its own.
HANDLE outputHandle(DWORD which)
{
    static bool attached = false;
    static HANDLE console = INVALID_HANDLE_VALUE;
    const HANDLE given = GetStdHandle(which);
    if (given != nullptr && given != INVALID_HANDLE_VALUE && GetFileType(given) != FILE_TYPE_UNKNOWN)
        return given;
    if (!attached) {
        attached = true;
        if (AttachConsole(ATTACH_PARENT_PROCESS)) {
            console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
            // The shell printed its prompt already: start on a line of our own.
            DWORD written = 0;
            if (console != INVALID_HANDLE_VALUE)
                WriteConsoleW(console, L"\r\n", 2, &written, nullptr);
        }
    }
    return console;
}

bool hasConsole()
{
    return outputHandle(STD_OUTPUT_HANDLE) != INVALID_HANDLE_VALUE;
}

void writeStd(DWORD which, const std::wstring &text)
{
    const HANDLE h = outputHandle(which);
    if (h == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    DWORD mode = 0;
    if (GetConsoleMode(h, &mode)) {
        WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = toUtf8(text);
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

bool sameText(const std::wstring &a, const wchar_t *b)
{
    return CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
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
        const wchar_t letter = towlower(a[1]);
        const bool takesValue = letter == L'd' || letter == L'p' || letter == L'o' || letter == L'i' || letter == L'c'
            || letter == L'k';
        if (takesValue && i + 1 >= count) {
            s.bad = a;
            continue;
        }
        switch (letter) {
        case L's': s.silent = true; break;
        case L'y': s.overwriteAll = true; break;
        case L'l': s.list = true; break;
        case L't': s.test = true; break;
        case L'x': s.atOnce = true; break;
        case L'?':
        case L'h': s.help = true; break;
        case L'd':
            s.folder = args[++i];
            s.hasFolder = true;
            break;
        case L'p': s.password = args[++i]; break;
        case L'k': s.passwordFile = args[++i]; break;
        case L'c':
            s.command = args[++i];
            s.hasCommand = true;
            break;
        case L'i':
            s.selection = args[++i];
            s.hasSelection = true;
            break;
        case L'o': {
            const std::wstring mode = args[++i];
            s.hasOverwrite = true;
            if (sameText(mode, L"ask"))
                s.overwrite = Overwrite::Ask;
            else if (sameText(mode, L"always"))
                s.overwrite = Overwrite::Always;
            else if (sameText(mode, L"never"))
                s.overwrite = Overwrite::Never;
            else
                s.bad = a + L" " + mode;
            break;
        }
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

using stubfolder::lastPart;

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
        o.caption = text(Text::DefaultCaption);
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
// folder. Without one, an auto-run package extracts into a new folder
// named after the executable beside it (never among the files already
// there); otherwise the executable's own folder is proposed.
std::wstring proposedFolder(App &app)
{
    const Options &o = app.options;
    if (o.folder.empty()) {
        const std::wstring path = ownPath();
        const std::wstring beside = path.substr(0, path.find_last_of(L"\\/") + 1);
        if (!o.has(zipformat::SfxHeader::AutoRun))
            return beside;
        std::wstring name = lastPart(path);
        const size_t dot = name.find_last_of(L'.');
        if (dot != std::wstring::npos && dot > 0)
            name.resize(dot);
        app.packageName = name;
        return beside + name;
    }
    if (o.folder.find(L"><") == std::wstring::npos) {
        const std::wstring name = lastPart(o.folder);
        if (!name.empty() && o.folder.find_first_of(L"\\/") != std::wstring::npos)
            app.packageName = name;
        return o.folder;
    }
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

// Keeps the windows alive during the extraction; Escape and Enter go to
// the dialog they were typed in.
void pumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        const HWND top = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (top && IsDialogMessageW(top, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void connectQuestions(App &app, Extractor &extractor)
{
    if (app.switches.silent)
        return; // nobody to ask: existing files are kept, a wrong password is an error
    extractor.askOverwrite = [&app](const OverwriteQuestion &question) { return askOverwrite(app.window, question); };
    extractor.askPassword = [&app](const std::wstring &entry, std::string &password) {
        std::wstring typed;
        if (!askPassword(app.window, entry, typed))
            return false;
        password = toUtf8(typed);
        return true;
    };
}

bool enoughSpace(const App &app, uint64_t &needed, uint64_t &available)
{
    needed = 0;
    available = 0;
    if (app.options.has(zipformat::SfxHeader::NoCheckSize))
        return true;
    for (size_t i = 0; i < app.archive.entries().size(); ++i)
        if (app.selected.empty() || app.selected[i])
            needed += app.archive.entries()[i].uncompressedSize;
    std::wstring probe = withBackslash(app.folder);
    ULARGE_INTEGER free {};
    // The folder may not exist yet: ask about the nearest one that does.
    while (!GetDiskFreeSpaceExW(probe.c_str(), &free, nullptr, nullptr)) {
        const size_t cut = probe.find_last_of(L"\\/", probe.size() - 2);
        if (cut == std::wstring::npos || cut < 2)
            return true;
        probe.resize(cut + 1);
    }
    available = free.QuadPart;
    return available >= needed;
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

Text problemText(Problem problem)
{
    switch (problem) {
    case Problem::OutsideFolder: return Text::ProblemOutsideFolder;
    case Problem::CannotCreateFolder: return Text::ProblemCannotCreateFolder;
    case Problem::CannotWrite: return Text::ProblemCannotWrite;
    case Problem::AccessDenied: return Text::ProblemAccessDenied;
    case Problem::DiskFull: return Text::ProblemDiskFull;
    case Problem::PasswordNeeded: return Text::ProblemPasswordNeeded;
    case Problem::WrongPassword: return Text::ProblemWrongPassword;
    case Problem::Damaged: return Text::ProblemDamaged;
    case Problem::BadCrc: return Text::ProblemBadCrc;
    case Problem::Unsupported: return Text::ProblemUnsupported;
    case Problem::OutOfMemory: return Text::ProblemOutOfMemory;
    case Problem::Cancelled:
    case Problem::None: break;
    }
    return Text::ProblemCancelled;
}

// A name short enough for the summary: its end, which tells the file.
std::wstring shortName(const std::wstring &name)
{
    const size_t most = 60;
    return name.size() <= most ? name : L"..." + name.substr(name.size() - most + 3);
}

// Reports the entries that failed: a summary (how many, the first few, why)
// and the full list, in one window that never outgrows the screen, or on
// standard error in silent mode.
void reportProblems(const App &app, const ExtractResult &result, bool testing)
{
    const size_t failed = result.problems.size();
    std::wstring first, why, list;
    std::vector<Problem> kinds;
    for (size_t i = 0; i < failed; ++i) {
        const ExtractProblem &p = result.problems[i];
        if (i < 3)
            first += (i ? L", " : L"") + shortName(p.name);
        bool known = false;
        for (Problem k : kinds)
            known = known || k == p.problem;
        if (!known) {
            kinds.push_back(p.problem);
            why += (why.empty() ? L"" : L"; ") + std::wstring(text(problemText(p.problem)));
        }
        list += say(Text::ProblemLine, {text(problemText(p.problem)), p.name}) + L"\r\n";
    }
    if (failed > 3)
        first += L", ...";
    const size_t tried = static_cast<size_t>(result.extracted + result.skipped) + failed;
    const bool one = failed == 1;
    const std::wstring count = testing ? say(one ? Text::ReportTestFailedOne : Text::ReportTestFailed, {decimal(failed)})
                                       : say(one ? Text::ReportFailedOne : Text::ReportFailed,
                                             {decimal(failed), decimal(tried)});
    if (app.switches.silent) {
        writeStd(STD_ERROR_HANDLE, count + L" " + say(Text::ReportWhy, {why}) + L"\r\n" + list);
        return;
    }
    showReport(app.window, app.options.caption,
               count + L"\n\n" + say(Text::ReportFirst, {first}) + L"\n" + say(Text::ReportWhy, {why}), list);
}

// One argument of a command line, quoted so that CommandLineToArgvW gives it
// back as it is.
std::wstring quoteArgument(const std::wstring &arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
        } else if (c == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
            backslashes = 0;
        } else {
            backslashes = 0;
        }
        out += c;
    }
    out.append(backslashes, L'\\');
    return out + L"\"";
}

// The selected entries as index ranges: "0-41,43,45-99".
std::wstring selectionRanges(const std::vector<bool> &selected)
{
    std::wstring out;
    for (size_t i = 0; i < selected.size(); ++i) {
        if (!selected[i])
            continue;
        size_t last = i;
        while (last + 1 < selected.size() && selected[last + 1])
            ++last;
        out += (out.empty() ? L"" : L",") + decimal(i);
        if (last > i)
            out += L"-" + decimal(last);
        i = last;
    }
    return out;
}

std::string readFileBytes(const std::wstring &path)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

std::wstring readTextFile(const std::wstring &path)
{
    const std::string bytes = readFileBytes(path);
    return std::wstring(bytes.begin(), bytes.end()); // digits, commas and dashes only
}

std::vector<bool> parseSelection(std::wstring ranges, size_t count)
{
    if (!ranges.empty() && ranges[0] == L'@')
        ranges = readTextFile(ranges.substr(1));
    std::vector<bool> selected(count, false);
    size_t i = 0;
    auto number = [&]() {
        uint64_t n = 0;
        while (i < ranges.size() && ranges[i] >= L'0' && ranges[i] <= L'9')
            n = n * 10 + static_cast<uint64_t>(ranges[i++] - L'0');
        return n;
    };
    while (i < ranges.size()) {
        const uint64_t from = number();
        uint64_t to = from;
        if (i < ranges.size() && ranges[i] == L'-') {
            ++i;
            to = number();
        }
        for (uint64_t k = from; k <= to && k < count; ++k)
            selected[static_cast<size_t>(k)] = true;
        while (i < ranges.size() && (ranges[i] < L'0' || ranges[i] > L'9'))
            ++i;
    }
    return selected;
}

bool writeTextFile(const std::wstring &path, const std::wstring &text)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const std::string bytes = toUtf8(text);
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
        && written == bytes.size();
    CloseHandle(file);
    return ok;
}

// A file of the user's temporary folder through which this run hands
// something over to the run it starts again.
std::wstring handOverFile(const wchar_t *what)
{
    return userTempFolder() + L"sfx" + hex(GetCurrentProcessId()) + L"-" + what + L".txt";
}

// Starts this program again with administrator rights, extracting at once
// with the user's choices: folder, overwrite rule, selected files, password
// and command. Waits for it; returns its exit code, or -1 when it did not
// start (the user refused included).
int restartElevated(App &app)
{
    static const wchar_t *const modes[] = {L"ask", L"always", L"never"};
    std::wstring parameters = L"-x -d " + quoteArgument(app.folder) + L" -o "
        + modes[static_cast<int>(app.overwrite)];
    std::wstring listFile;
    bool all = true;
    for (bool s : app.selected)
        all = all && s;
    if (!all) {
        std::wstring ranges = selectionRanges(app.selected);
        // A command line holds 32,767 characters: a long selection goes
        // through a file.
        if (ranges.size() > 8000) {
            listFile = handOverFile(L"selection");
            if (!writeTextFile(listFile, ranges))
                return -1;
            ranges = L"@" + listFile;
        }
        parameters += L" -i " + quoteArgument(ranges);
    }
    // The password goes through a file of the user's own temporary folder:
    // a command line can be read by other programs and lands in audit logs.
    std::wstring keyFile;
    if (!app.switches.password.empty()) {
        keyFile = handOverFile(L"key");
        if (!writeTextFile(keyFile, app.switches.password))
            return -1;
        parameters += L" -k " + quoteArgument(keyFile);
    }
    if (app.command != app.options.command)
        parameters += L" -c " + quoteArgument(app.command);
    const std::wstring self = ownPath();
    SHELLEXECUTEINFOW info {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    info.hwnd = app.window;
    info.lpVerb = L"runas";
    info.lpFile = self.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    int code = -1;
    if (ShellExecuteExW(&info) && info.hProcess) {
        if (app.window)
            ShowWindow(app.window, SW_HIDE);
        WaitForSingleObject(info.hProcess, INFINITE);
        DWORD exitCode = kError;
        GetExitCodeProcess(info.hProcess, &exitCode);
        CloseHandle(info.hProcess);
        code = static_cast<int>(exitCode);
    } else if (GetLastError() != ERROR_CANCELLED) {
        tell(app, text(Text::ElevationFailed));
    }
    if (!listFile.empty())
        DeleteFileW(listFile.c_str());
    if (!keyFile.empty())
        DeleteFileW(keyFile.c_str());
    return code;
}

// Shows the entry being written and the progress, and asks whether to stop
// when the user cancelled; false stops the extraction.
bool showProgress(App &app, uint64_t done, uint64_t total, const std::wstring &entry)
{
    if (entry != app.shownEntry) {
        app.shownEntry = entry;
        SetDlgItemTextW(app.window, IDC_CURRENT, say(Text::Extracting, {entry}).c_str());
    }
    const int position = total ? static_cast<int>(done * 1000 / total) : 1000;
    SendDlgItemMessageW(app.window, IDC_PROGRESS, PBM_SETPOS, position, 0);
    pumpMessages();
    if (!app.cancel)
        return true;
    app.cancel = false;
    return MessageBoxW(app.window, text(Text::ConfirmCancel), app.options.caption.c_str(),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES;
}

// Extracts with the settings in app; returns the exit code. Sets
// backToChoice when nothing was extracted and the user may pick another
// folder.
int extract(App &app)
{
    app.backToChoice = false;
    app.folder = fullPath(app.folder);
    uint64_t needed = 0, available = 0;
    if (!enoughSpace(app, needed, available)) {
        tell(app, say(Text::NotEnoughSpace, {app.folder, sizeText(needed), sizeText(available)}), MB_ICONWARNING);
        app.backToChoice = true;
        return kError;
    }
    Extractor extractor(app.archive, app.folder, app.overwrite, toUtf8(app.switches.password));
    connectQuestions(app, extractor);
    if (app.window)
        extractor.progress = [&app](uint64_t done, uint64_t total, const std::wstring &entry) {
            return showProgress(app, done, total, entry);
        };
    app.result = extractor.run(app.selected, false);
    if (app.result.accessDenied) {
        extractor.removeCreated();
        // Silent, or already started again with the rights: say it once.
        if (app.switches.silent || app.switches.atOnce) {
            tell(app, say(Text::AccessDeniedSilent, {app.folder}));
            return kError;
        }
        if (MessageBoxW(app.window, say(Text::AccessDeniedAsk, {app.folder}).c_str(), app.options.caption.c_str(),
                        MB_YESNO | MB_ICONWARNING) == IDYES) {
            const int code = restartElevated(app);
            if (code >= 0) {
                app.handedOver = true;
                return code;
            }
        }
        app.backToChoice = true;
        return kError;
    }
    if (app.result.cancelled) {
        const int removed = extractor.removeCreated();
        tell(app, say(Text::CancelledRemoved, {decimal(static_cast<uint64_t>(removed))}), MB_ICONINFORMATION);
        return kCancelled;
    }
    if (!app.result.problems.empty()) {
        reportProblems(app, app.result, false);
        return kError;
    }
    return kSuccess;
}

void hide(HWND dialog, std::initializer_list<int> ids)
{
    for (int id : ids)
        ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
}

// The list of entries to pick: virtual, so that tens of thousands of
// entries open at once; the ticks are app.selected, drawn as state images.
void initFileList(HWND dialog, App &app)
{
    HWND list = GetDlgItem(dialog, IDC_FILES);
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    ListView_SetCallbackMask(list, LVIS_STATEIMAGEMASK);
    LVCOLUMNW column {};
    column.mask = LVCF_WIDTH;
    RECT r;
    GetClientRect(list, &r);
    column.cx = r.right - GetSystemMetrics(SM_CXVSCROLL);
    ListView_InsertColumn(list, 0, &column);
    if (app.selected.size() != app.archive.entries().size())
        app.selected.assign(app.archive.entries().size(), true);
    ListView_SetItemCountEx(list, static_cast<int>(app.selected.size()), LVSICF_NOINVALIDATEALL);
}

// Ticks or unticks the entry; a folder takes what is inside it along.
void setTicked(App &app, size_t index, bool ticked)
{
    const auto &entries = app.archive.entries();
    app.selected[index] = ticked;
    if (!entries[index].isFolder())
        return;
    const std::wstring &folder = entries[index].name;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].name.size() > folder.size() && entries[i].name.compare(0, folder.size(), folder) == 0)
            app.selected[i] = ticked;
}

void fileListNotice(App &app, NMHDR *notice)
{
    HWND list = notice->hwndFrom;
    switch (notice->code) {
    case LVN_GETDISPINFOW: {
        LVITEMW &item = reinterpret_cast<NMLVDISPINFOW *>(notice)->item;
        if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= app.selected.size())
            return;
        if (item.mask & LVIF_TEXT)
            lstrcpynW(item.pszText, app.archive.entries()[item.iItem].name.c_str(), item.cchTextMax);
        if (item.mask & LVIF_STATE) {
            item.state = INDEXTOSTATEIMAGEMASK(app.selected[item.iItem] ? 2 : 1);
            item.stateMask = LVIS_STATEIMAGEMASK;
        }
        return;
    }
    case NM_CLICK:
    case NM_DBLCLK: {
        LVHITTESTINFO hit {};
        hit.pt = reinterpret_cast<NMITEMACTIVATE *>(notice)->ptAction;
        const int index = ListView_HitTest(list, &hit);
        if (index < 0 || !(hit.flags & LVHT_ONITEMSTATEICON))
            return;
        setTicked(app, static_cast<size_t>(index), !app.selected[index]);
        break;
    }
    case LVN_KEYDOWN: {
        if (reinterpret_cast<NMLVKEYDOWN *>(notice)->wVKey != VK_SPACE)
            return;
        const int focused = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
        if (focused < 0)
            return;
        const bool ticked = !app.selected[focused];
        for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0;
             i = ListView_GetNextItem(list, i, LVNI_SELECTED))
            setTicked(app, static_cast<size_t>(i), ticked);
        setTicked(app, static_cast<size_t>(focused), ticked);
        break;
    }
    default: return;
    }
    InvalidateRect(list, nullptr, FALSE);
}

// Before extracting, the line that then names the entry being written
// tells what the archive holds.
void showArchiveSize(HWND dialog, const App &app)
{
    uint64_t files = 0, bytes = 0;
    for (const StubEntry &e : app.archive.entries()) {
        files += e.isFolder() ? 0 : 1;
        bytes += e.uncompressedSize;
    }
    SetDlgItemTextW(dialog, IDC_CURRENT,
                    say(files == 1 ? Text::ArchiveHoldsOne : Text::ArchiveHolds, {decimal(files), sizeText(bytes)})
                        .c_str());
}

void initMainDialog(HWND dialog, App &app)
{
    app.window = dialog;
    SetWindowTextW(dialog, app.options.caption.c_str());
    setWindowIcon(dialog);
    setTexts(dialog, {{IDC_FOLDER_LABEL, Text::ExtractTo}, {IDC_BROWSE, Text::Browse},
                      {IDC_OVERWRITE_LABEL, Text::ExistingFiles}, {IDC_SELECT_ALL, Text::SelectAll},
                      {IDC_SELECT_NONE, Text::SelectNone}, {IDC_COMMAND_LABEL, Text::ThenRun},
                      {IDOK, Text::Extract}, {IDCANCEL, Text::Cancel}});
    SetDlgItemTextW(dialog, IDC_FOLDER, app.folder.c_str());
    HWND overwrite = GetDlgItem(dialog, IDC_OVERWRITE);
    for (Text choice : {Text::AskBeforeReplacing, Text::ReplaceThem, Text::KeepThem})
        SendMessageW(overwrite, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text(choice)));
    SendMessageW(overwrite, CB_SETCURSEL, static_cast<WPARAM>(app.overwrite), 0);
    SendDlgItemMessageW(dialog, IDC_PROGRESS, PBM_SETRANGE32, 0, 1000);
    showArchiveSize(dialog, app);

    const bool pickFiles = app.options.has(zipformat::SfxHeader::AskFiles);
    const bool askCommand = app.options.has(zipformat::SfxHeader::AskCmdLine) && !app.command.empty();
    if (askCommand)
        SetDlgItemTextW(dialog, IDC_COMMAND, app.command.c_str());
    if (pickFiles)
        initFileList(dialog, app);
    // Hidden bands close up from the bottom, each onto the next shown one.
    int next = IDC_CURRENT;
    if (!askCommand) {
        hide(dialog, {IDC_COMMAND_LABEL, IDC_COMMAND});
        closeGap(dialog, IDC_COMMAND, next);
    } else {
        next = IDC_COMMAND;
    }
    if (!pickFiles) {
        hide(dialog, {IDC_FILES, IDC_SELECT_ALL, IDC_SELECT_NONE});
        closeGap(dialog, IDC_FILES, next);
    } else {
        next = IDC_FILES;
    }
    if (app.options.has(zipformat::SfxHeader::HideOverwriteBox)) {
        hide(dialog, {IDC_OVERWRITE_LABEL, IDC_OVERWRITE});
        closeGap(dialog, IDC_OVERWRITE, next);
    }
}

int CALLBACK browseStart(HWND window, UINT message, LPARAM, LPARAM start)
{
    if (message == BFFM_INITIALIZED)
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

// The nearest folder that exists on the way to the path.
std::wstring existingFolder(std::wstring path)
{
    while (!path.empty()) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return path;
        const size_t cut = path.find_last_of(L"\\/");
        if (cut == std::wstring::npos)
            return std::wstring();
        path.resize(cut);
    }
    return path;
}

std::wstring dialogText(HWND dialog, int id)
{
    const int length = GetWindowTextLengthW(GetDlgItem(dialog, id));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetDlgItemTextW(dialog, id, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

// Browse starts at the folder shown; a folder picked for the package gets
// the package's own folder name at its end, as the proposed one had it.
void browse(HWND dialog, const App &app)
{
    const std::wstring start = existingFolder(fullPath(dialogText(dialog, IDC_FOLDER)));
    BROWSEINFOW info {};
    info.hwndOwner = dialog;
    info.lpszTitle = text(Text::ChooseFolder);
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = browseStart;
    info.lParam = reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen)
        return;
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path)) {
        SetDlgItemTextW(dialog, IDC_FOLDER, stubfolder::pickedFolder(path, app.packageName).c_str());
    }
    CoTaskMemFree(chosen);
}

const int kChoiceControls[] = {IDC_FOLDER, IDC_BROWSE, IDC_OVERWRITE, IDC_FILES, IDC_SELECT_ALL,
                               IDC_SELECT_NONE, IDC_COMMAND, IDOK};

void startFromDialog(HWND dialog, App &app)
{
    app.folder = dialogText(dialog, IDC_FOLDER);
    if (app.folder.empty()) {
        tell(app, text(Text::PleaseChooseFolder), MB_ICONWARNING);
        return;
    }
    app.overwrite = static_cast<Overwrite>(SendDlgItemMessageW(dialog, IDC_OVERWRITE, CB_GETCURSEL, 0, 0));
    if (IsWindowVisible(GetDlgItem(dialog, IDC_COMMAND)))
        app.command = dialogText(dialog, IDC_COMMAND);
    for (int id : kChoiceControls)
        EnableWindow(GetDlgItem(dialog, id), FALSE);
    SetFocus(GetDlgItem(dialog, IDCANCEL));
    app.extracting = true;
    const int code = extract(app);
    app.extracting = false;
    if (app.backToChoice) {
        for (int id : kChoiceControls)
            EnableWindow(GetDlgItem(dialog, id), TRUE);
        showArchiveSize(dialog, app);
        app.shownEntry.clear();
        SendDlgItemMessageW(dialog, IDC_PROGRESS, PBM_SETPOS, 0, 0);
        ShowWindow(dialog, SW_SHOW);
        SetFocus(GetDlgItem(dialog, IDC_FOLDER));
        return;
    }
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
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR *>(lParam)->idFrom == IDC_FILES && app)
            fileListNotice(*app, reinterpret_cast<NMHDR *>(lParam));
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_BROWSE: browse(dialog, *app); return TRUE;
        case IDC_SELECT_ALL:
        case IDC_SELECT_NONE:
            app->selected.assign(app->selected.size(), LOWORD(wParam) == IDC_SELECT_ALL);
            InvalidateRect(GetDlgItem(dialog, IDC_FILES), nullptr, FALSE);
            return TRUE;
        case IDOK:
            if (!app->extracting)
                startFromDialog(dialog, *app);
            return TRUE;
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

INT_PTR CALLBACK progressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    App *app = reinterpret_cast<App *>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        app = reinterpret_cast<App *>(lParam);
        SetWindowTextW(dialog, app->options.caption.c_str());
        setWindowIcon(dialog);
        setTexts(dialog, {{IDCANCEL, Text::Cancel}});
        SendDlgItemMessageW(dialog, IDC_PROGRESS, PBM_SETRANGE32, 0, 1000);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && app)
            app->cancel = true;
        return TRUE;
    case WM_CLOSE:
        if (app)
            app->cancel = true;
        return TRUE;
    }
    return FALSE;
}

// Extracts with no choice asked first, in a window showing the entry being
// written and a Cancel button.
int extractWithProgress(App &app)
{
    app.window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS), nullptr, progressProc,
                                    reinterpret_cast<LPARAM>(&app));
    if (app.window) {
        ShowWindow(app.window, SW_SHOW);
        SetForegroundWindow(app.window);
        pumpMessages();
    }
    const int code = extract(app);
    if (app.window)
        DestroyWindow(app.window);
    app.window = nullptr;
    return code;
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
    Extractor extractor(app.archive, std::wstring(), Overwrite::Never, toUtf8(app.switches.password));
    connectQuestions(app, extractor);
    const ExtractResult result = extractor.run({}, true);
    if (result.cancelled)
        return kCancelled;
    if (!result.problems.empty()) {
        reportProblems(app, result, true);
        return kError;
    }
    if (app.switches.silent || hasConsole())
        writeStd(STD_OUTPUT_HANDLE, std::wstring(text(Text::NoErrorsShort)) + L"\r\n");
    else
        tell(app, text(Text::NoErrors), MB_ICONINFORMATION);
    return kSuccess;
}

// The help: on the console when there is one, else in a message box, whose
// proportional font would misalign columns and whose width rewraps lines:
// there each switch reads "-d FOLDER - what it does" and paragraphs are
// joined.
int showHelp(const App &app)
{
    const std::wstring help = say(Text::Help, {lastPart(ownPath())});
    if (hasConsole()) {
        writeStd(STD_OUTPUT_HANDLE, replaceAll(help, L"\n", L"\r\n") + L"\r\n");
        return kSuccess;
    }
    std::wstring boxed;
    for (size_t i = 0; i < help.size(); ++i) {
        const wchar_t c = help[i];
        const bool lineStart = i == 0 || help[i - 1] == L'\n';
        if (c == L' ' && (boxed.empty() || boxed.back() == L'\n' || boxed.back() == L' '))
            continue; // the indent, or a blank already written
        if (c == L' ' && i + 1 < help.size() && help[i + 1] == L' ') {
            boxed += L" \u2013 ";
            continue;
        }
        if (c == L'\n' && !lineStart && i + 1 < help.size() && help[i + 1] != L'\n' && help[i + 1] != L' ') {
            boxed += L' ';
            continue;
        }
        boxed += c;
    }
    MessageBoxW(nullptr, boxed.c_str(), app.options.caption.c_str(), MB_OK | MB_ICONINFORMATION);
    return kSuccess;
}

int afterExtraction(App &app)
{
    const bool silent = app.switches.silent;
    if (!silent && !app.options.has(zipformat::SfxHeader::NoSuccessMsg))
        tell(app, say(Text::Extracted, {app.folder}), MB_ICONINFORMATION);
    if (app.command.empty())
        return kSuccess;
    const std::wstring command = stubcommand::expandFolderMarks(app.command, withBackslash(app.folder));
    if (!silent && app.options.has(zipformat::SfxHeader::AskCmdLine) && !app.switches.hasCommand
        && MessageBoxW(nullptr, say(Text::RunNow, {command}).c_str(), app.options.caption.c_str(),
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
        return kSuccess;
    // Files in the temporary folder are removed once the command has ended.
    const int code = runCommand(command, app.folder, silent || inTempFolder(app));
    if (code < 0) {
        tell(app, say(Text::CommandFailed, {command}));
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
    if (!app.switches.passwordFile.empty()) {
        app.switches.password = decodeText(readFileBytes(app.switches.passwordFile), true, CP_ACP);
        DeleteFileW(app.switches.passwordFile.c_str());
    }
    if (!app.switches.bad.empty()) {
        app.switches.silent = hasConsole(); // else a box: started from a shortcut, nobody reads a console
        tell(app, say(Text::UnknownSwitch, {app.switches.bad}));
        return kError;
    }
    if (!app.archive.open(ownPath())) {
        app.switches.silent = app.switches.silent || hasConsole() || app.switches.list;
        tell(app, say(Text::CannotRead, {app.archive.error()}));
        return kError;
    }
    app.options = readOptions(app.archive);
    if (app.switches.help)
        return showHelp(app);
    if (app.switches.list)
        return listContents(app);
    if (app.switches.test)
        return testContents(app);

    const Options &o = app.options;
    if (!app.switches.silent && !app.switches.atOnce && !o.message.empty()) {
        std::wstring message = o.message;
        UINT buttons = MB_OK | MB_ICONINFORMATION; // a plain message asks nothing
        if (message[0] == 1 || message[0] == 2) {
            buttons = (message[0] == 1 ? MB_OKCANCEL : MB_YESNO) | MB_ICONQUESTION;
            message.erase(0, 1);
        }
        const int answer = MessageBoxW(nullptr, message.c_str(), o.caption.c_str(), buttons);
        if (answer == IDCANCEL || answer == IDNO)
            return kCancelled;
    }

    app.folder = proposedFolder(app);
    if (app.switches.hasFolder)
        app.folder = app.switches.folder;
    app.command = app.switches.hasCommand ? app.switches.command : o.command;
    app.overwrite = app.switches.hasOverwrite                    ? app.switches.overwrite
        : app.switches.overwriteAll                              ? Overwrite::Always
        : o.has(zipformat::SfxHeader::OverwriteNever)           ? Overwrite::Never
        : o.has(zipformat::SfxHeader::OverwriteAlways)          ? Overwrite::Always
                                                                  : Overwrite::Ask;
    if (app.switches.silent && app.overwrite == Overwrite::Ask)
        app.overwrite = Overwrite::Never; // nobody to ask: keep what is there
    if (app.switches.hasSelection)
        app.selected = parseSelection(app.switches.selection, app.archive.entries().size());

    int code = kSuccess;
    if (app.switches.silent)
        code = extract(app);
    else if (app.switches.atOnce || o.has(zipformat::SfxHeader::AutoRun))
        code = extractWithProgress(app);
    else
        code = static_cast<int>(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                                mainProc, reinterpret_cast<LPARAM>(&app)));
    app.window = nullptr;
    if (code == kSuccess && !app.handedOver)
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
