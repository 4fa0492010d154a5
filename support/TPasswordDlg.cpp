#include "TPasswordDlg.h"

#include "ZipArchiver.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

TPasswordDlg::TPasswordDlg(QWidget *parent)
    : QDialog(parent), m_prompt(new QLabel(this)), m_password(new QLineEdit(this)),
      m_ok(new QPushButton(this)), m_cancel(new QPushButton(this))
{
    setFixedSize(344, 137);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    font.setBold(true);
    setFont(font);

    m_prompt->setObjectName(QStringLiteral("Prompt"));
    m_prompt->setGeometry(20, 8, 297, 18);
    m_password->setObjectName(QStringLiteral("Password"));
    m_password->setGeometry(20, 40, 297, m_password->sizeHint().height());
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setMaxLength(511);
    m_ok->setObjectName(QStringLiteral("OK"));
    m_ok->setGeometry(44, 72, 90, 28);
    m_ok->setText(TZipArchiver::ZipLoadStr(10152, QString()));
    m_ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    m_ok->setDefault(true);
    m_cancel->setObjectName(QStringLiteral("Cancel"));
    m_cancel->setGeometry(205, 72, 90, 28);
    m_cancel->setText(TZipArchiver::ZipLoadStr(10153, QString()));
    m_cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));

    connect(m_ok, &QPushButton::clicked, this, &TPasswordDlg::AcceptClick);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects too
}

void TPasswordDlg::AcceptClick()
{
    m_accepted = true;
    accept();
}

QString TPasswordDlg::RunPrompt(const QString &caption, const QString &prompt)
{
    setWindowTitle(caption);
    m_prompt->setText(prompt);
    m_password->setFocus();
    exec();
    return m_accepted ? m_password->text() : QString();
}

std::pair<bool, QString> RunPasswordDialog(const QString &caption, const QString &prompt)
{
    TPasswordDlg dialog;
    const QString text = dialog.RunPrompt(caption, prompt);
    return {dialog.accepted(), text};
}
