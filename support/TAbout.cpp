#include "TAbout.h"

#include "VersionInfo.h"

#include <QDesktopServices>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *label(QWidget *parent, const char *name, const QString &text = QString())
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(true);
    return l;
}

} // namespace

TAbout::TAbout(const Texts &texts, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("A propos"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); };

    auto *title = label(this, "LbTitle", QStringLiteral("Mantole"));
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    title->setFont(big);
    Label11 = label(this, "Label11", QStringLiteral("Version : ") + ReadVersionString(TInfo::FileVersion));
    LbAbout1 = label(this, "LbAbout1");

    auto *program = new QGroupBox(this);
    program->setObjectName(QStringLiteral("GroupBox1"));
    Label4 = label(program, "Label4", QStringLiteral("Mantole"));
    LbWeb = label(program, "LbWeb", QStringLiteral("MISE A JOUR"));
    label1 = label(program, "label1");
    auto *programLayout = new QVBoxLayout(program);
    programLayout->addWidget(Label4);
    programLayout->addWidget(label1);

    auto *thanks = new QGroupBox(QStringLiteral(" Remerciements "), this);
    thanks->setObjectName(QStringLiteral("GroupBox2"));
    auto *translatorLine = label(thanks, "Label12", QStringLiteral("- Traducteur :"));
    translatorLine->setWordWrap(false);
    LbWebTrans = label(thanks, "LbWebTrans", texts.translator);
    LbWebTrans->setToolTip(texts.translatorHint);
    // The credited parties' pages, opened with the desktop's browser.
    auto *credits = label(thanks, "Label5",
                          QStringLiteral("- <a href=\"https://zlib.net/\">zlib</a>, <a href=\"https://www.qt.io/\">Qt</a>"));
    credits->setTextFormat(Qt::RichText);
    credits->setCursor(Qt::PointingHandCursor);
    connect(credits, &QLabel::linkActivated, this, [this](const QString &link) {
        if (openUrl)
            openUrl(QUrl(link));
    });
    auto *thanksLayout = new QVBoxLayout(thanks);
    thanksLayout->addWidget(credits);
    auto *translator = new QHBoxLayout;
    translator->addWidget(translatorLine);
    translator->addWidget(LbWebTrans, 1);
    thanksLayout->addLayout(translator);
    LbWeb->hide(); // no web page to offer updates from

    OKButton = new QPushButton(texts.close, this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    BttnHlp = new QPushButton(QStringLiteral("AIDE"), this);
    BttnHlp->setObjectName(QStringLiteral("BttnHlp"));
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(BttnHlp, &QPushButton::clicked, this, [this] {
        if (openHelp)
            openHelp();
    });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BttnHlp);
    buttons->addWidget(OKButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(Label11);
    layout->addWidget(LbAbout1);
    layout->addWidget(program);
    layout->addWidget(thanks);
    layout->addStretch(1);
    layout->addLayout(buttons);
    // A fixed border, as tall as the wrapped texts of the language shown
    // need at this width: no empty band above the buttons. The width is
    // held by the description, since a fixed size overrides the box's own.
    LbAbout1->setMinimumWidth(340);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
