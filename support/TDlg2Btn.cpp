#include "TDlg2Btn.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QLabel *picture(QWidget *parent, const char *name, QStyle::StandardPixmap which)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFixedSize(32, 32);
    label->setPixmap(parent->style()->standardIcon(which).pixmap(32, 32));
    label->hide();
    return label;
}

} // namespace

TDlg2Btn::TDlg2Btn(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Dlg2Btn"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setMinimumSize(287, 94);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setMinimumSize(233, 41);
    ImgAsk = picture(this, "ImgAsk", QStyle::SP_MessageBoxQuestion);
    ImgWar = picture(this, "ImgWar", QStyle::SP_MessageBoxWarning);
    ImgNoWay = picture(this, "ImgNoWay", QStyle::SP_MessageBoxCritical);
    Yes = new QPushButton(this);
    Yes->setObjectName(QStringLiteral("Yes"));
    Yes->setDefault(true); // Enter answers with the first button
    No = new QPushButton(this);
    No->setObjectName(QStringLiteral("No"));
    connect(Yes, &QPushButton::clicked, this, &TDlg2Btn::YesClick);
    connect(No, &QPushButton::clicked, this, &TDlg2Btn::NoClick);

    auto *pictures = new QVBoxLayout;
    for (QLabel *p : {ImgAsk, ImgWar, ImgNoWay})
        pictures->addWidget(p);
    pictures->addStretch(1);
    auto *question = new QHBoxLayout;
    question->addLayout(pictures);
    question->addWidget(Label1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Yes);
    buttons->addWidget(No);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(question, 1);
    layout->addLayout(buttons);
    setTabOrder(Yes, No);
}

void TDlg2Btn::showIcon(const QString &selector)
{
    ImgAsk->setVisible(selector == QLatin1String("?"));
    ImgWar->setVisible(selector == QLatin1String("!"));
    ImgNoWay->setVisible(selector == QLatin1String("#"));
}

void TDlg2Btn::YesClick()
{
    done(Accepted);
}

void TDlg2Btn::NoClick()
{
    done(NoResult);
}

bool AskDlg2Btn(QWidget *parent, const QString &title, const QString &question, const QString &firstButton,
                const QString &secondButton, const QString &icon)
{
    TDlg2Btn dialog(parent);
    dialog.setWindowTitle(title);
    dialog.Label1->setText(question);
    dialog.Yes->setText(firstButton);
    dialog.No->setText(secondButton);
    dialog.showIcon(icon);
    return dialog.exec() == QDialog::Accepted;
}
