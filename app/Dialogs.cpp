#include "Dialogs.h"

#include "TDlg2Btn.h"
#include "WidgetHost.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

Dialogs::Dialogs() = default;
Dialogs::~Dialogs() = default;

ArchiverHost *Dialogs::archiverHost(QWidget *owner)
{
    if (!m_host)
        m_host = std::make_unique<WidgetHost>(owner);
    return m_host.get();
}

void Dialogs::error(QWidget *parent, const QString &text)
{
    QMessageBox::critical(parent, QString(), text);
}

bool Dialogs::errorQuestion(QWidget *parent, const QString &text)
{
    return QMessageBox::critical(parent, QString(), text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool Dialogs::confirm(QWidget *parent, const QString &text)
{
    return QMessageBox::question(parent, QString(), text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void Dialogs::information(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, QString(), text);
}

void Dialogs::preview(QWidget *parent, const QString &text, bool okCancel)
{
    QMessageBox::question(parent, QString(), text,
                          okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Yes | QMessageBox::No);
}

bool Dialogs::twoButtons(QWidget *parent, const QString &title, const QString &question,
                         const QString &firstButton, const QString &secondButton, Icon icon)
{
    return AskDlg2Btn(parent, title, question, firstButton, secondButton,
                      icon == Icon::Question ? QStringLiteral("?") : icon == Icon::Warning ? QStringLiteral("!") : QStringLiteral("#"));
}

QString Dialogs::qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString p = pattern.trimmed();
            if (p == QLatin1String("*.*")) {
                patterns << QStringLiteral("*");
                continue;
            }
            patterns << p.toLower();
            if (p.toUpper() != p.toLower())
                patterns << p.toUpper();
        }
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' ')));
    }
    return filters.join(QStringLiteral(";;"));
}

QString Dialogs::openFile(QWidget *parent, const QString &filter, const QString &startFile)
{
    return QFileDialog::getOpenFileName(parent, QString(), startFile, qtFilter(filter));
}

QString Dialogs::folder(QWidget *parent, const QString &startFolder)
{
    const QString chosen = QFileDialog::getExistingDirectory(parent, QString(), startFolder);
    return chosen.isEmpty() ? startFolder : chosen;
}

bool Dialogs::startFile(const QString &path)
{
    return QFileInfo::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool Dialogs::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

QColor Dialogs::colour(QWidget *parent, const QColor &initial)
{
    return QColorDialog::getColor(initial, parent);
}

void Dialogs::run(QDialog &dialog)
{
    dialog.exec();
}
