#pragma once
// The About box: the product, its version, credits and a button for help.
// Its texts come from the current language; the caller passes the looked-up
// ones (this box knows no language file) and may translate it further by
// its "About." paths once it exists.

#include <QDialog>
#include <QUrl>

#include <functional>

class QLabel;
class QPushButton;

class TAbout : public QDialog {
    Q_OBJECT

public:
    struct Texts {
        QString close;          // the close button
        QString translator;     // the translator's name
        QString translatorHint; // shown over it
    };
    explicit TAbout(const Texts &texts, QWidget *parent = nullptr);

    // Opens a link; the desktop's default handler unless replaced.
    std::function<void(const QUrl &)> openUrl;
    // Asked by the help button.
    std::function<void()> openHelp;

    QLabel *LbAbout1, *Label4, *LbWeb, *Label11, *label1, *LbWebTrans;
    QPushButton *OKButton, *BttnHlp;
};
