#pragma once
// Runs a Windows program of ours under wine64, in the build's own Wine
// prefix and without a display, and collects what it wrote. The suite
// defines MANTOLE_WINE_PREFIX.

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

struct WineRun {
    int exitCode; // -1 when the program crashed or was stopped
    QString out;
    QString err;
};

struct WineOptions {
    QString locale;        // LC_ALL for the program; empty keeps ours
    QString workingFolder; // empty keeps ours
    QStringList prefix;    // put in front of wine (setpriv)
};

// A Linux path as the Wine prefix's Z: drive shows it.
inline QString windowsPath(const QString &path)
{
    return QStringLiteral("Z:") + QString(path).replace('/', '\\');
}

inline bool wineReady()
{
    return !QStandardPaths::findExecutable(QStringLiteral("wine")).isEmpty()
        && QFile::exists(QStringLiteral(MANTOLE_WINE_PREFIX "/system.reg"));
}

inline QProcessEnvironment wineEnvironment(const QString &locale = QString())
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("WINEPREFIX"), QStringLiteral(MANTOLE_WINE_PREFIX));
    env.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    env.insert(QStringLiteral("WINEDLLOVERRIDES"), QStringLiteral("mscoree,mshtml="));
    env.remove(QStringLiteral("DISPLAY"));
    if (!locale.isEmpty()) {
        // Wine takes its display language from these.
        env.remove(QStringLiteral("LANGUAGE"));
        env.insert(QStringLiteral("LC_ALL"), locale);
    }
    return env;
}

inline WineRun runUnderWine(const QStringList &args, const WineOptions &options = {})
{
    QProcess wine;
    wine.setProcessEnvironment(wineEnvironment(options.locale));
    if (!options.workingFolder.isEmpty())
        wine.setWorkingDirectory(options.workingFolder);
    const QStringList command = options.prefix + QStringList{QStringLiteral("wine")} + args;
    wine.start(command.first(), command.mid(1));
    if (!wine.waitForFinished(120000))
        wine.kill();
    return {wine.exitStatus() == QProcess::NormalExit ? wine.exitCode() : -1,
            QString::fromUtf8(wine.readAllStandardOutput()), QString::fromUtf8(wine.readAllStandardError())};
}
