#pragma once
// A question with two buttons and one of three pictures: the wizard asks
// with it whether the user really wants to leave. Enter chooses the first
// button; closing the window counts as the second.

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

class TDlg2Btn : public QDialog {
    Q_OBJECT

public:
    explicit TDlg2Btn(QWidget *parent = nullptr);

    // "?" the question mark, "!" the warning sign, "#" the no-entry sign;
    // anything else shows no picture.
    void showIcon(const QString &selector);
    QLabel *Label1;
    QLabel *ImgAsk, *ImgWar, *ImgNoWay;
    QPushButton *Yes, *No;

    // The No button's result; Yes gives Accepted, the close box Rejected.
    static constexpr int NoResult = 7;

private:
    void YesClick();
    void NoClick();
};

// Shows the question modally; true only when it was closed by the first button.
bool AskDlg2Btn(QWidget *parent, const QString &title, const QString &question, const QString &firstButton,
                const QString &secondButton, const QString &icon);
