// MANTOLE.INI: read once at start-up in a fixed order, written at close.

#include "TWzdForm.h"

#include "AutoCompleteComboBox.h"
#include "ComboHistory.h"
#include "FonctionsUtiles.h"
#include "PrivateProfile.h"
#include "RegistryStore.h"
#include "TLanguage.h"
#include "TitleBand.h"
#include "ZipToExeOptions.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QSpinBox>

namespace {
const QString kWzd = QStringLiteral("wzd");
}

// The folder the executable proposes is one on the Windows machine that
// runs it, so its default is a Windows folder, not one of ours.
const QString TWzdForm::kWindowsDefaultFolder = QStringLiteral("C:\\");

void TWzdForm::LoadGlobalSet()
{
    const PrivateProfile &ini = *m_iniFile;
    const auto text = [&ini](const char *key, const QString &defaultValue = QString()) {
        return ini.readString(kWzd, QLatin1String(key), defaultValue);
    };
    const auto flag = [&ini](const char *key, bool defaultValue) {
        return ini.readBool(kWzd, QLatin1String(key), defaultValue);
    };
    MC1->setEndColour(TitleBand::fromWindowsColour(ini.readInteger(kWzd, QStringLiteral("color"), 32768)));
    CompressionLevel = ini.readInteger(kWzd, QStringLiteral("level"), 9);
    ComboPath->setEditText(text("dest"));
    CBDatePrefix->setChecked(flag("date", true));
    CbShell->setChecked(flag("zip2exe", false));
    if (ComboPath->currentText().isEmpty())
        ComboPath->setEditText(ini.readString(QStringLiteral("HistoryCfgDir"), QStringLiteral("last"),
                                              DefaultHistoryEntry()));
    CbSFXMsg->setChecked(flag("msgsfx", false));
    edTypeboiteInt->setText(text("iboxmsg", QStringLiteral("2")));
    // The boxes follow the stored code; else a Yes/No chosen last time
    // would silently become OK/Cancel in the next executable.
    CbYesNo->setChecked(edTypeboiteInt->text() == QLatin1String("3"));
    EdMsgSfx->setText(text("smsg"));
    EdTitre->setText(text("stitre"));
    IconEdit->setText(text("iconame", Paths.defaultIconFile));
    IconIndexUD->setValue(ini.readInteger(kWzd, QStringLiteral("icoIndex"), 0));
    if (text("spath") == QLatin1String("><"))
        ComboDefDirExtr->setEditText(languageMessage(QStringLiteral("sTempFolder")));
    else
        ComboDefDirExtr->setEditText(text("spath", kWindowsDefaultFolder));
    CbSuccesMsg->setChecked(flag("endmsg", false));
    CbAskFiles->setChecked(flag("chglst", false));
    CbAutoRun->setChecked(flag("autorun", false));
    CBForceOverWrite->setChecked(flag("sow", false));
    CbRunAFile->setChecked(flag("runfile", false));
    // A command stored with the folder in front of "><" keeps what follows.
    CommandToRun = ZipToExeOptions::storedCommand(text("scmd"));
    EDCmdLn->setText(CommandToRun);
    Animate->setChecked(flag("gifanime", true));
    PictureFile = text("img", Paths.defaultPictureFile);
    Path->setChecked(flag("path", false));
    FormTop->setChecked(flag("ftop", false));
    if (FormTop->isChecked())
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    m_dayFirst = flag("dm", true);
    JJMM->setChecked(m_dayFirst);
    MMJJ->setChecked(!JJMM->isChecked());
    AffichageHint->setChecked(flag("vhint", true));
    if (!QFileInfo::exists(PictureFile))
        PictureFile = Paths.defaultPictureFile;
    showSidePicture();
    Step1Text = text("1debut", languageMessage(QStringLiteral("Cap_3dHot")));
    Step1EndText = text("1fin", languageMessage(QStringLiteral("Cap_3dHotEnd")));
    Step2Text = text("2debut", languageMessage(QStringLiteral("Cap_3dWind")));
    Step2EndText = text("2fin", languageMessage(QStringLiteral("Cap_3dWindEnd")));
    StepDelay = ini.readInteger(kWzd, QStringLiteral("wait12"), 2000);
}

void TWzdForm::SaveGlobalSet()
{
    SaveComboHistory(ComboPath, Paths.iniFileName, QStringLiteral("HistoryCfgDir"));
    SaveComboHistory(ComboDefDirExtr, Paths.iniFileName, QStringLiteral("HistoryExtDir"));
    const PrivateProfile &ini = *m_iniFile;
    const auto flag = [&ini](const char *key, bool on) { ini.writeBool(kWzd, QLatin1String(key), on); };
    const auto text = [&ini](const char *key, const QString &value) { ini.writeString(kWzd, QLatin1String(key), value); };
    flag("date", CBDatePrefix->isChecked());
    const bool temporaryFolder = ComboDefDirExtr->currentText().contains(languageMessage(QStringLiteral("sTempFolder")));
    text("spath", temporaryFolder ? QStringLiteral("><") : ComboDefDirExtr->currentText());
    flag("runfile", CbRunAFile->isChecked());
    text("scmd", CommandToRun);
    flag("msgsfx", CbSFXMsg->isChecked());
    text("smsg", EdMsgSfx->text());
    text("iboxmsg", edTypeboiteInt->text());
    text("stitre", EdTitre->text());
    text("iconame", IconEdit->text());
    ini.writeInteger(kWzd, QStringLiteral("icoIndex"), IconIndexUD->value());
    flag("sow", CBForceOverWrite->isChecked());
    flag("endmsg", CbSuccesMsg->isChecked());
    flag("autorun", CbAutoRun->isChecked());
    flag("chglst", CbAskFiles->isChecked());
    flag("path", Path->isChecked());
    flag("gifanime", Animate->isChecked());

    // Read by the file managers' menu entries.
    RegistryStore registry;
    if (!registry.openKey(QStringLiteral("SOLVREIK\\Prog\\"), true))
        throw RegistryWriteError(QStringLiteral("date"));
    registry.writeString(QStringLiteral("date"), CBDatePrefix->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    registry.writeString(QStringLiteral("jjmm"), JJMM->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    registry.writeString(QStringLiteral("last"), AddBackslash(ComboPath->currentText()));
}
