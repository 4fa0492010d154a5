#include "ScriptedHost.h"

bool ScriptedHost::askForDisk(const QString &text, bool stopIcon)
{
    diskQuestions.push_back({text, stopIcon});
    if (diskAnswers.empty())
        return false;
    DiskAnswer answer = std::move(diskAnswers.front());
    diskAnswers.pop_front();
    return answer(diskQuestions.back());
}

std::optional<QString> ScriptedHost::askPassword(const QString &caption, const QString &prompt)
{
    passwordPrompts.append(caption + '|' + prompt);
    if (passwords.empty())
        return std::nullopt;
    std::optional<QString> answer = passwords.front();
    passwords.pop_front();
    return answer;
}

void ScriptedHost::setBusy(bool busy)
{
    busyDepth += busy ? 1 : -1;
    ++busyCalls;
}
