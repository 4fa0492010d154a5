#pragma once
// A program folder of the test's own for the main form: the language
// files, the stub, the icon library, the two libraries and the help pages
// copied from the build's bin folder, a work folder beside it, and the
// registry store under a config folder of its own (XDG_CONFIG_HOME).
// Needs MANTOLE_BIN_DIR.

#include "ProgramFolder.h"
#include "TWzdForm.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

class FormSandbox {
public:
    // False (with a warning) when the folders cannot be made.
    bool make()
    {
        if (!m_root.isValid())
            return false;
        program = m_root.filePath(QStringLiteral("program/"));
        work = m_root.filePath(QStringLiteral("work/"));
        config = m_root.filePath(QStringLiteral("config"));
        for (const QString &folder : {program, work, config})
            if (!QDir().mkpath(folder))
                return false;
        qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
        const QDir bin(QStringLiteral(MANTOLE_BIN_DIR));
        const QStringList wanted{QStringLiteral("*.lgn"), QStringLiteral("SfxStub.bin"), QStringLiteral("icones.dll"),
                                 QStringLiteral("lib*.so"), QStringLiteral("velmorak*.html")};
        for (const QString &name : bin.entryList(wanted, QDir::Files))
            if (!QFile::copy(bin.filePath(name), program + name)) {
                qWarning("cannot copy %s", qPrintable(name));
                return false;
            }
        return true;
    }
    // MANTOLE.INI with English texts, no pauses in Finish, the user's home
    // as destination folder, and the given lines added to section [wzd].
    // The "general" section comes first, so extra sections may follow.
    bool writeSettings(const QString &wzdLines = QString(), const QString &language = QStringLiteral("English"))
    {
        const QString ini = QStringLiteral("[general]\nlang=%1\n[HistoryCfgDir]\nn0=%2\nlast=%2\n[wzd]\nwait12=0\n%3")
                                .arg(language, work, wzdLines);
        QFile f(settingsFile());
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(ini.toUtf8()) == ini.toUtf8().size();
    }
    QString settingsFile() const { return program + QStringLiteral("MANTOLE.INI"); }
    ProgramFolder folder() const
    {
        return ProgramFolder::forFolder(program, config, m_root.filePath(QStringLiteral("cache")));
    }
    // The form, shown, as the program starts it with these arguments.
    std::unique_ptr<TWzdForm> start(Dialogs *dialogs, const QStringList &arguments = {}) const
    {
        auto form = std::make_unique<TWzdForm>(folder(), dialogs, arguments);
        form->show();
        return form;
    }

    QString program, work, config;

private:
    QTemporaryDir m_root;
};
