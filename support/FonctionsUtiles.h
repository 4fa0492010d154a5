#pragma once
// Small functions shared across the wizard. Their output formats appear in
// messages, the status line and file names, so they are exact.

#include <QDate>
#include <QLocale>
#include <QString>

#include <cstdint>

// "MM:SS Sec. mmm Ms." for stop − start milliseconds (32-bit tick counts,
// wrapping); minutes are not folded into hours.
QString ElapsedText(uint32_t start, uint32_t stop);
// "N b" below 1024, then Ko, Mo and Go in a general number format with
// three significant digits; empty below 0.
QString SizeText(int64_t bytes, const QLocale &locale = QLocale());
// The size of the first file matching the path (wildcards allowed); 0 when
// none does.
int64_t FileSizeOf(const QString &path);
// The file-name part of a path up to its first ".".
QString FileStem(const QString &path);
// Today's day and month as DDMM (day first) or MMDD; empty when not enabled.
QString DatePrefixText(bool dayFirst, bool enabled, const QDate &today = QDate::currentDate());
// The path with the platform's separator appended, unless it is empty or
// already ends in one.
QString AddBackslash(const QString &path);
// Processes user-interface events, at least once, until the time has passed.
void WaitWithMessages(double milliseconds);

// Starts playing a sound file and returns at once; the next sound cuts it
// off. A missing file does nothing.
void PlayWave(const QString &path);
// Starts the command line (program path not quoted: the shortest prefix
// that is a program wins). Show modes 0 hidden, 1 normal, 2 minimized, 3
// maximized are wishes a Linux desktop may not honour. With wait, the
// window keeps handling events until the program ends; a request to quit
// meanwhile ends this program with its exit code. A command that cannot
// start is resolved when it is a shortcut, and opened with the program
// associated with its file type when there is one.
void RunCommand(const QString &commandLine, int showMode, bool wait);
// The command a shortcut file (.lnk or .desktop) stands for: target, two
// blanks, arguments.
QString ResolveShortcut(const QString &path);

// The general number format with three significant digits (halves go up),
// fixed notation up to three digits before the separator, else d.ddEn.
QString GeneralNumberText(double value, const QString &decimalSeparator);
