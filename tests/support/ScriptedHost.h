#pragma once
// A host for tests: records every message box and answers questions from a
// script, so no test ever waits on a dialog.

#include "ArchiverHost.h"

#include <QStringList>

#include <deque>
#include <functional>

class ScriptedHost final : public ArchiverHost {
public:
    struct DiskQuestion {
        QString text;
        bool stopIcon;
    };
    // Answers one disk question: true for OK. Runs with the question asked,
    // so it can "insert" the disk the test wants.
    using DiskAnswer = std::function<bool(const DiskQuestion &)>;

    void showMessage(const QString &text) override { shown.append(text); }
    bool askForDisk(const QString &text, bool stopIcon) override;
    std::optional<QString> askPassword(const QString &caption, const QString &prompt) override;
    void setBusy(bool busy) override;
    void processEvents() override { ++eventRounds; }

    QStringList shown;
    std::vector<DiskQuestion> diskQuestions;
    std::deque<DiskAnswer> diskAnswers; // an empty script cancels
    std::deque<std::optional<QString>> passwords;
    QStringList passwordPrompts;
    int busyDepth = 0;
    int busyCalls = 0;
    int eventRounds = 0;
};
