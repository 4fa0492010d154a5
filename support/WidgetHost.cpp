#include "WidgetHost.h"

#include "TPasswordDlg.h"

#include <QApplication>
#include <QMessageBox>

void WidgetHost::showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, m_owner);
    box.exec();
}

bool WidgetHost::askForDisk(const QString &text, bool stopIcon)
{
    QMessageBox box(stopIcon ? QMessageBox::Critical : QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    text, QMessageBox::Ok | QMessageBox::Cancel, m_owner);
    return box.exec() == QMessageBox::Ok;
}

std::optional<QString> WidgetHost::askPassword(const QString &caption, const QString &prompt)
{
    const auto [accepted, text] = RunPasswordDialog(caption, prompt);
    if (!accepted)
        return std::nullopt;
    return text;
}

void WidgetHost::setBusy(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void WidgetHost::processEvents()
{
    QCoreApplication::processEvents();
}
