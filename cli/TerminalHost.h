#pragma once
// The engine's host on a terminal: messages go to stderr, questions are asked
// on the terminal (and cancelled when there is none, as in a script).

#include "ArchiverHost.h"

class TZipArchiver;

class TerminalHost final : public ArchiverHost {
public:
    TerminalHost();
    // The engine whose work a Ctrl-C or SIGTERM stops (see Interruption).
    void watch(TZipArchiver *za) { m_archiver = za; }
    void showMessage(const QString &text) override;
    bool askForDisk(const QString &text, bool stopIcon) override;
    std::optional<QString> askPassword(const QString &caption, const QString &prompt) override;
    void setBusy(bool) override {}
    void processEvents() override;
    // Shows a progress line on a terminal for long copies.
    void copyProgress(qint64 done, qint64 total) override;
    // Ends the progress line, if one is shown.
    void endProgress();
    // An engine message as the terminal shows it: paths with "/".
    static QString forTerminal(const QString &text);

private:
    TZipArchiver *m_archiver = nullptr;
    int m_shownPercent = -1;
    int m_pauseMs = 0;
};
