#pragma once
// Extracts (or tests) the entries of the stub's archive into a folder:
// stored and deflated data with CRC check, file times, folders, traditional
// and WinZip AES encryption, the overwrite rule, and no entry ever written
// outside the folder. An absolute folder is used in its long-path form
// ("\\?\"), so paths past 260 characters work.

#include "StubArchive.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class Overwrite { Ask, Always, Never };
enum class OverwriteAnswer { Yes, No, YesToAll, NoToAll, Cancel };

// What the overwrite question shows: the file on disk and the one in the
// archive, each with its size and last-write time (UTC).
struct OverwriteQuestion {
    std::wstring path;
    uint64_t existingSize = 0;
    FILETIME existingTime {};
    uint64_t newSize = 0;
    FILETIME newTime {};
};

// Why an entry was not extracted; the window words it in the user's language.
enum class Problem {
    None,
    OutsideFolder,  // the name would land outside the folder
    CannotCreateFolder,
    CannotWrite,
    AccessDenied,   // no right to write into the folder
    DiskFull,
    PasswordNeeded,
    WrongPassword,
    Damaged,
    BadCrc,         // the data does not match its checksum
    Unsupported,    // a compression method or encryption the stub lacks
    OutOfMemory,
    Cancelled,
};

struct ExtractProblem {
    Problem problem;
    std::wstring name; // the entry's name as stored
};

struct ExtractResult {
    int extracted = 0;
    int skipped = 0;
    int failed = 0;
    bool cancelled = false;
    // The first write into the folder was refused for lack of rights;
    // nothing further was tried, so the run can start again elevated.
    bool accessDenied = false;
    bool diskFull = false;
    bool wrongPassword = false; // at least one entry failed on its password
    std::vector<ExtractProblem> problems; // one per failed entry
};

class Extractor {
public:
    Extractor(const StubArchive &archive, std::wstring folder, Overwrite mode, std::string password);
    ~Extractor();
    Extractor(const Extractor &) = delete;
    Extractor &operator=(const Extractor &) = delete;

    std::function<OverwriteAnswer(const OverwriteQuestion &question)> askOverwrite;
    // Asks for a (new) password; false when the user cancels.
    std::function<bool(const std::wstring &entry, std::string &password)> askPassword;
    // Progress in bytes of uncompressed data and the entry being written;
    // false asks to stop. Called at most every 40 ms, and once at the end,
    // so that thousands of small files do not each pay for a repaint.
    std::function<bool(uint64_t done, uint64_t total, const std::wstring &entry)> progress;

    // Extracts the selected entries (all when selected is empty); with
    // testOnly nothing is written and only the data is checked.
    ExtractResult run(const std::vector<bool> &selected, bool testOnly);

    // The entry's name as a path below the folder, with "\" separators, or
    // empty when it would land outside it (absolute, drive, "..", device).
    // Trailing dots and blanks of each part are dropped, as Windows drops
    // them from a plain path; a part made only of them is refused.
    static std::wstring safeRelativePath(const std::wstring &name);

    // Removes the files and folders this run created (never one that was
    // there before), deepest first; returns how many were removed.
    int removeCreated();

private:
    enum class Outcome { Done, Skipped, Failed, Cancelled };
    struct Work;
    Outcome extractEntry(const StubEntry &entry, bool testOnly, ExtractResult &result);
    // Finds the entry's data and gets its decryption ready.
    Problem startData(const StubEntry &entry);
    bool copyData(const StubEntry &entry, HANDLE out, Problem &problem);
    bool makeFolders(const std::wstring &relative, bool includingLast);
    bool fileTime(const StubEntry &entry, FILETIME &utc);
    bool tellProgress(const StubEntry &entry, bool now);

    const StubArchive &m_archive;
    std::wstring m_folder; // ends with "\"; "\\?\" form when absolute
    std::wstring m_shownFolder; // as given, for what the user sees
    Overwrite m_mode;
    std::string m_password;
    uint64_t m_done = 0;
    uint64_t m_total = 0;
    std::vector<std::wstring> m_created; // full paths, in creation order
    std::unique_ptr<Work> m_work;
};
