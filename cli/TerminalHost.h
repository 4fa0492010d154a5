#pragma once
// The engine's host on a terminal: messages go to stderr, questions are asked
// on the terminal (and cancelled when there is none, as in a script).

#include "ArchiverHost.h"

class TerminalHost final : public ArchiverHost {
public:
    void showMessage(const QString &text) override;
    bool askForDisk(const QString &text, bool stopIcon) override;
    std::optional<QString> askPassword(const QString &caption, const QString &prompt) override;
    void setBusy(bool) override {}
    void processEvents() override {}
    // Shows a progress line on a terminal for long copies.
    void copyProgress(qint64 done, qint64 total) override;
    // Ends the progress line, if one is shown.
    void endProgress();

private:
    int m_shownPercent = -1;
};
