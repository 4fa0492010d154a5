#pragma once
// The archive engine's host in the desktop program: Qt message boxes, the
// password dialog, the busy cursor and the event loop.

#include "ArchiverHost.h"

class QWidget;

class WidgetHost final : public ArchiverHost {
public:
    explicit WidgetHost(QWidget *owner = nullptr) : m_owner(owner) {}
    void showMessage(const QString &text) override;
    bool askForDisk(const QString &text, bool stopIcon) override;
    std::optional<QString> askPassword(const QString &caption, const QString &prompt) override;
    void setBusy(bool busy) override;
    void processEvents() override;

private:
    QWidget *m_owner;
};
