// The conversion: the pages' options into the engine's SFX properties, the
// executable written, and an executable turned back into its archive.

#include "TWzdForm.h"

#include "AutoCompleteComboBox.h"
#include "TLanguage.h"
#include "ZipToExeOptions.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>

void TWzdForm::ZipToExe()
{
    // The same mapping as mantole-shell's, from the pages instead of the
    // saved settings.
    ZipToExeOptions options;
    options.caption = EdTitre->text();
    options.askFiles = CbAskFiles->isChecked();
    options.autoRun = CbAutoRun->isChecked();
    options.icon = m_iconPicture;
    options.successMessage = CbSuccesMsg->isChecked();
    options.showMessage = CbSFXMsg->isChecked();
    options.okCancel = CbOkEsc->isChecked();
    options.yesNo = CbYesNo->isChecked();
    options.message = EdMsgSfx->text();
    options.defaultDir = ComboDefDirExtr->currentText().contains(languageMessage(QStringLiteral("sTempFolder")))
        ? QStringLiteral("><")
        : ComboDefDirExtr->currentText();
    options.runFile = CbRunAFile->isChecked();
    options.command = CommandToRun;
    options.forceOverwrite = CBForceOverWrite->isChecked();
    options.applyTo(*m_za);
    ConvertResult = m_za->WriteSFX();
}

void TWzdForm::GoForExe()
{
    // An entry the stub cannot extract makes an executable that fails on
    // the user's machine: refused before anything is written, the entries
    // named (the first few; the box must fit on the screen).
    {
        TZipArchiver probe;
        probe.setZipFileName(SourceFile);
        const std::vector<TZipArchiver::StubRefusal> refused = probe.EntriesTheStubCannotExtract();
        if (!refused.empty()) {
            constexpr size_t kNamed = 10;
            QString text = languageMessage(QStringLiteral("Msg_StubCannotExtract"));
            for (size_t i = 0; i < refused.size() && i < kNamed; ++i)
                text += QStringLiteral("\n%1 (%2)").arg(refused[i].FileName, refused[i].Reason);
            if (refused.size() > kNamed)
                text += QStringLiteral("\n\u2026 (+%1)").arg(refused.size() - kNamed);
            m_dialogs->error(this, text);
            ConvertResult = -1;
            return;
        }
    }
    // The engine's copy says nothing itself; without a word here the last
    // page would show a failure with no reason.
    const auto copyFailed = [this](int result, const QString &source, const QString &destination) {
        m_za->ReportMessage(result == -3 ? 11001 : 11010,
                            QStringLiteral(" : ") + (result == -3 ? source : destination));
        ConvertResult = result;
    };
    if (CbKeepZip->isChecked()) {
        // A copy that failed is a failed conversion, never a success.
        const int copied = m_za->CopyZipFile(SourceFile, WorkZipFile);
        if (copied != 0) {
            copyFailed(copied, SourceFile, WorkZipFile);
            return;
        }
        m_za->setZipFileName(WorkZipFile);
    } else {
        m_za->setZipFileName(SourceFile);
    }
    const QString existing = withExtension(DestExeFile, QStringLiteral(".exe"));
    if (QFileInfo::exists(existing)
        && !m_dialogs->confirm(this, QStringLiteral("[ ") + existing + QStringLiteral(" ]")
                                         + languageMessage(QStringLiteral("Msg_ZiporExeExist")))) {
        // Nothing was written: the last page must not say it was.
        ConvertResult = -1;
        return;
    }
    ZipToExe();
    WorkZipFile = withExtension(WorkZipFile, QStringLiteral(".exe"));
    QString written = m_za->ZipFileName();
    if (CbKeepZip->isChecked() && ConvertResult == 0) {
        const int copied = m_za->CopyZipFile(written, DestExeFile);
        if (copied != 0)
            copyFailed(copied, written, DestExeFile);
        written = DestExeFile;
    }
    if (ConvertResult == 0) {
        const QFileInfo file(written);
        m_written = {file.absoluteFilePath(), file.size(), file.lastModified()};
    }
    // Started through the desktop (Wine, where it is installed); a start
    // that fails is said, not swallowed.
    if (CbTest->isChecked() && !m_dialogs->startFile(DestExeFile))
        m_dialogs->error(this, languageMessage(QStringLiteral("Msg_StartFailed")) + DestExeFile);
}

void TWzdForm::GoForZip()
{
    m_za->setZipFileName(SourceFile);
    const QString archive = withExtension(m_za->ZipFileName(), QStringLiteral(".zip"));
    if (QFileInfo::exists(archive)
        && !m_dialogs->confirm(this, QStringLiteral("[ ") + archive + QStringLiteral(" ]")
                                         + languageMessage(QStringLiteral("Msg_ZiporExeExist"))))
        return;
    if (m_za->StripSFX() == 0)
        m_dialogs->information(this, languageMessage(QStringLiteral("Msg_ExeToZIp")));
    m_za->setZipFileName(withExtension(SourceFile, QStringLiteral(".zip")));
}
