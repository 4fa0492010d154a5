// Pages paMsg (title, icon and the message shown before extraction) and
// paRunFile (the command run after extraction).

#include "TWzdForm.h"

#include "IconExtractor.h"
#include "IconImage.h"
#include "TLanguage.h"
#include "TNotebook.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

void TWzdForm::CbSFXMsgClick()
{
    const bool on = CbSFXMsg->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{EdMsgSfx, BtnMsg, CbYesNo, CbOkEsc})
        w->setEnabled(on);
}

// The two button sets exclude each other: each box sets the other to its
// opposite, and the hidden code follows.
void TWzdForm::CbOkEscClick()
{
    CbYesNo->setChecked(!CbOkEsc->isChecked());
    edTypeboiteInt->setText(CbOkEsc->isChecked() ? QStringLiteral("2") : QStringLiteral("3"));
}

void TWzdForm::CbYesNoClick()
{
    CbOkEsc->setChecked(!CbYesNo->isChecked());
    edTypeboiteInt->setText(CbOkEsc->isChecked() ? QStringLiteral("2") : QStringLiteral("3"));
}

void TWzdForm::BtnMsgClick()
{
    m_dialogs->preview(this, EdMsgSfx->text(), CbOkEsc->isChecked());
}

void TWzdForm::BrowseIcoClick()
{
    const QString chosen =
        openFileWith(languageMessage(QStringLiteral("Typ_ExeDllIcoDialog")), IconEdit->text());
    if (!chosen.isEmpty()) {
        // A single-icon file has no index to choose.
        const bool single = QFileInfo(chosen).suffix().toUpper() == QLatin1String("ICO");
        IconIndexUD->setEnabled(!single);
        IconEdit->setText(chosen);
        const QSignalBlocker quiet(IconIndexUD);
        IconIndexUD->setValue(0);
    }
    IconIndexChanged();
}

void TWzdForm::IconIndexChanged()
{
    LoadIconFromFile(IconEdit->text(), IconIndexEdit->text().toInt());
}

void TWzdForm::LoadIconFromFile(const QString &file, int index)
{
    const QString fallback = Paths.defaultIconFile;
    QString source = file;
    if (!source.startsWith(QLatin1Char('/')))
        source = Paths.folder + source; // relative names are the program's
    if (!QFileInfo(source).isFile())
        source = fallback;
    const QImage picture = IconImage::decode(IconExtractor::extract(source, index), 32);
    if (picture.isNull())
        return; // no icon there: the preview stays
    m_iconPicture = picture;
    Image2->setPixmap(QPixmap::fromImage(picture.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void TWzdForm::CbRunAFileClick()
{
    EDCmdLn->setEnabled(CbRunAFile->isChecked());
    BrowseRunFile->setEnabled(CbRunAFile->isChecked());
}
