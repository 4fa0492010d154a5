#pragma once
// The password dialog of the archive engine's questions: a prompt, a
// password field of at most 80 characters, OK and Cancel, built entirely in
// code.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TPasswordDlg : public QDialog {
    Q_OBJECT

public:
    explicit TPasswordDlg(QWidget *parent = nullptr);

    // Shows the dialog modally; the typed text when OK was pressed, else
    // empty.
    virtual QString RunPrompt(const QString &caption, const QString &prompt);
    bool accepted() const { return m_accepted; }

protected slots:
    virtual void AcceptClick();

private:
    bool m_accepted = false;
    QLabel *m_prompt;
    QLineEdit *m_password;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

// Runs a fresh dialog: whether it was accepted, and the text.
std::pair<bool, QString> RunPasswordDialog(const QString &caption, const QString &prompt);
