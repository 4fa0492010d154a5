#pragma once
// Everything the archive engine shows to or asks of its user goes through
// this interface, so the engine never opens a window itself. The wizard
// answers with Qt dialogs, mantole-cli with the terminal, tests with a
// script.

#include <QString>

#include <optional>

class ArchiverHost {
public:
    virtual ~ArchiverHost() = default;

    // A plain message box: the text and an OK button, titled with the
    // application's title.
    virtual void showMessage(const QString &text) = 0;
    // Asks for the next disk of a set; true for OK, false for Cancel.
    // stopIcon marks the first question (the last disk of the set).
    virtual bool askForDisk(const QString &text, bool stopIcon) = 0;
    // Asks for a password; nullopt when the user cancels.
    virtual std::optional<QString> askPassword(const QString &caption, const QString &prompt) = 0;
    // Hourglass cursor on or off for the duration of a long operation.
    virtual void setBusy(bool busy) = 0;
    // Lets the user interface handle pending events during long work.
    virtual void processEvents() = 0;
    // Progress of a long copy, in bytes; total is -1 when unknown.
    virtual void copyProgress(qint64 done, qint64 total) { (void)done; (void)total; }
};

// A host for owners that show nothing: messages vanish (they still reach
// ErrCode, Message and OnMessage) and every question is cancelled.
class SilentHost final : public ArchiverHost {
public:
    void showMessage(const QString &) override {}
    bool askForDisk(const QString &, bool) override { return false; }
    std::optional<QString> askPassword(const QString &, const QString &) override { return std::nullopt; }
    void setBusy(bool) override {}
    void processEvents() override {}
};
