#pragma once
// The stub's own texts in French, English, German, Italian and Spanish, in
// one table, chosen once by the Windows display language.

#include <cstdint>
#include <initializer_list>
#include <string>

enum class Text {
    DefaultCaption,
    ExtractTo,
    Browse,
    ExistingFiles,
    AskBeforeReplacing,
    ReplaceThem,
    KeepThem,
    SelectAll,
    SelectNone,
    ThenRun,
    Extract,
    Cancel,
    Ok,
    Yes,
    No,
    YesToAll,
    NoToAll,
    OverwriteCaption,
    OverwriteQuestion, // %1 the file
    ExistingFileInfo,  // %1 size, %2 date
    ArchiveFileInfo,   // %1 size, %2 date
    PasswordCaption,
    PasswordFor,       // %1 the entry
    ChooseFolder,
    PleaseChooseFolder,
    NotEnoughSpace,    // %1 folder, %2 needed, %3 free
    Extracted,         // %1 folder
    RunNow,            // %1 command
    CommandFailed,     // %1 command
    Extracting,        // %1 entry
    ArchiveHolds,      // %1 count, %2 size
    ArchiveHoldsOne,   // %2 size
    ConfirmCancel,
    CancelledRemoved,  // %1 count
    ReportFailed,      // %1 count failed, %2 count tried
    ReportFailedOne,   // %2 count tried
    ReportTestFailed,  // %1 count
    ReportTestFailedOne,
    ReportFirst,       // %1 the first few names
    ReportWhy,         // %1 the reasons
    ReportFullList,
    ProblemLine,       // %1 why, %2 the entry
    NoErrors,
    NoErrorsShort,
    AccessDeniedAsk,   // %1 folder
    AccessDeniedSilent, // %1 folder
    ElevationFailed,
    UnknownSwitch,     // %1 the switch
    CannotRead,        // %1 the reason
    Help,
    Bytes,             // %1 count
    UnitKB,
    UnitMB,
    UnitGB,
    UnitTB,
    DecimalPoint,
    ProblemOutsideFolder,
    ProblemCannotCreateFolder,
    ProblemCannotWrite,
    ProblemAccessDenied,
    ProblemDiskFull,
    ProblemPasswordNeeded,
    ProblemWrongPassword,
    ProblemDamaged,
    ProblemBadCrc,
    ProblemUnsupported,
    ProblemOutOfMemory,
    ProblemCancelled,
    Count
};

// The language the texts are shown in: 0 English, 1 French, 2 German,
// 3 Italian, 4 Spanish.
int textLanguage();

const wchar_t *text(Text id);

// The text with %1, %2, ... replaced by the arguments.
std::wstring say(Text id, std::initializer_list<std::wstring> args);

// A size for people: "512 bytes", "1.5 MB" (with the language's decimal
// sign and units).
std::wstring sizeText(uint64_t bytes);

std::wstring decimal(uint64_t n);
