// Page moves, derived file names, the folder boxes and the end button.

#include "TWzdForm.h"

#include "AutoCompleteComboBox.h"
#include "ComboHistory.h"
#include "FileManagerEntries.h"
#include "FonctionsUtiles.h"
#include "PathLabel.h"
#include "PrivateProfile.h"
#include "ProgressLabel.h"
#include "RegistryStore.h"
#include "ShellRegister.h"
#include "TLanguage.h"
#include "TNotebook.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The folder part of a path, with its final "/".
QString folderOf(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

} // namespace

QString TWzdForm::withExtension(const QString &path, const QString &extension)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    return (dot > slash ? path.left(dot) : path) + extension;
}

void TWzdForm::WzdPageChange()
{
    static const char *const keys[] = {"Cap_paStart", "Cap_paZip",   "Cap_paName", "Cap_paExe",   "Cap_paMsg",
                                       "Cap_paRunAfile", "sFileStatus", nullptr,     "Cap_paFinish"};
    const int page = NoteBook1->PageIndex();
    if (page >= 0 && page < 9 && keys[page])
        setWindowTitle(languageMessage(QLatin1String(keys[page])));
}

void TWzdForm::WzdPageChanging(TWizDirection direction, int &showPage)
{
    const Page shown = currentPage();
    if (m_finishRunning) {
        showPage = shown; // nothing moves while the executable is being made
        return;
    }
    if (direction == wdNext) {
        switch (shown) {
        case paZip:
            if (!QFileInfo(EdZipFn->text()).isFile()) {
                m_dialogs->error(this, languageMessage(QStringLiteral("Msg_DatasErr")));
                showPage = paZip;
            }
            break;
        case paName:
            ViewerFromZipPage = false;
            if (EdEXEFn->text().isEmpty() || !QFileInfo(ComboPath->currentText()).isDir()) {
                m_dialogs->error(this, languageMessage(QStringLiteral("Msg_NameOrPathErr")));
                showPage = paName;
            }
            if (BrowsedFolder.size() > 3 && !QFileInfo(BrowsedFolder).isDir()
                && m_dialogs->errorQuestion(this, BrowsedFolder + languageMessage(QStringLiteral("Msg_AskCreateDir"))))
                QDir().mkpath(BrowsedFolder);
            break;
        case paRunFile:
            if (!CbRunAFile->isChecked() || !EDCmdLn->text().isEmpty())
                showPage = paEnd;
            else
                showPage = m_dialogs->errorQuestion(this, languageMessage(QStringLiteral("Msg_TypeALine"))) ? paView
                                                                                                            : paRunFile;
            break;
        case paView:
            showPage = ViewerFromZipPage ? paZip : paRunFile;
            break;
        case paExeZip: {
            const QString zip = withExtension(LbFileExe->fileName(), QStringLiteral(".zip"));
            EdZipFn->setText(QFileInfo::exists(zip) && !BtnExeZip->isEnabled() ? zip : QString());
            showPage = paZip;
            break;
        }
        default:
            break;
        }
        return;
    }

    WizardFinished = false;
    resetProgressLabels();
    switch (shown) {
    case paView:
    case paExeZip:
        showPage = paZip;
        break;
    case paEnd: {
        // Undo what Finish did.
        const QFileInfo work(WorkZipFile);
        m_za->EraseFile(work.path() + QLatin1Char('/') + work.completeBaseName() + QStringLiteral(".*"), htdFinal);
        UpdateTop();
        if (!CbKeepZip->isChecked()) {
            // Only the executable this run wrote, as it was written: one
            // the user changed or replaced since is left alone.
            const QFileInfo now(m_written.path);
            if (!m_written.path.isEmpty() && now.exists() && now.size() == m_written.size
                && now.lastModified() == m_written.modified) {
                m_za->setZipFileName(m_written.path);
                m_za->StripSFX();
            }
        }
        // Forgotten on every Back, so a later Back without a Finish in
        // between never turns back an earlier run's executable.
        m_written = WrittenFile();
        showPage = paRunFile;
        break;
    }
    default:
        break;
    }
}

void TWzdForm::UpdateTop()
{
    LbZipFN->setFileName(EdZipFn->text());
    const QString folder = CbKeepZip->isChecked() ? AddBackslash(ComboPath->currentText()) : folderOf(LbZipFN->fileName());
    // Lower-case extensions: the names are real files on a system where
    // letter case counts. In place, the engine writes the archive's own
    // name with ".exe" ("my.photos.zip" gives "my.photos.exe"): that is the
    // file to show, to ask about and to start.
    LbFileDest->setFileName(CbKeepZip->isChecked()
                                ? folder + LbDateZip->text() + EdEXEFn->text() + QStringLiteral(".exe")
                                : withExtension(LbZipFN->fileName(), QStringLiteral(".exe")));
    SourceFile = LbZipFN->fileName();
    WorkZipFile = Paths.tmpDir + LbDateZip->text() + EdEXEFn->text() + QStringLiteral(".zip");
    DestExeFile = LbFileDest->fileName();
}

void TWzdForm::EdZipFnChange()
{
    const QString path = EdZipFn->text();
    EdEXEFn->setText(FileStem(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1)));
    BtnTest->setEnabled(QFileInfo(path).isFile());
    BtnView->setEnabled(BtnTest->isEnabled());
    UpdateTop();
    UpdateGrid();
}

void TWzdForm::CbKeepZipClick()
{
    const bool keep = CbKeepZip->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{LbName2, LbName3, Bttn3DDelComboPath, ComboPath})
        w->setEnabled(keep);
    const QString path = EdZipFn->text();
    EdEXEFn->setText(FileStem(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1)));
    EdEXEFn->setEnabled(keep);
    BrowPath->setEnabled(keep);
    CBDatePrefix->setChecked(keep);
    CBDatePrefix->setEnabled(keep);
    UpdateTop();
}

void TWzdForm::CBDatePrefixClick()
{
    LbDateZip->setText(DatePrefixText(JJMM->isChecked(), CBDatePrefix->isChecked()));
    UpdateTop();
}

void TWzdForm::BttnBrowseClick()
{
    const QString chosen = openFileWith(languageMessage(QStringLiteral("Typ_ZipExeDialog")), EdZipFn->text());
    if (!chosen.isEmpty())
        EdZipFn->setText(chosen);
    if (chosen.toUpper().contains(QLatin1String(".EXE"))) {
        EdExeZipFn->setText(chosen);
        showPageDirectly(paExeZip);
    }
}

void TWzdForm::BtnBrowseExeClick()
{
    const QString chosen =
        openFileWith(languageMessage(QStringLiteral("Typ_ZipExeDialog")), EdExeZipFn->text());
    if (!chosen.isEmpty())
        EdExeZipFn->setText(chosen);
    if (chosen.toUpper().contains(QLatin1String(".ZIP"))) {
        EdZipFn->setText(chosen);
        showPageDirectly(paZip);
    }
}

void TWzdForm::EdExeZipFnChange()
{
    LbFileExe->setFileName(EdExeZipFn->text());
    BtnExeZip->setEnabled(QFileInfo(EdExeZipFn->text()).isFile());
}

void TWzdForm::BtnExeZipClick()
{
    SourceFile = LbFileExe->fileName();
    GoForZip();
    BtnExeZip->setEnabled(false);
}

void TWzdForm::BrowPathClick()
{
    BrowsedFolder = m_dialogs->folder(this, BrowsedFolder.isEmpty() ? ComboPath->currentText() : BrowsedFolder);
    if (QFileInfo(BrowsedFolder).isDir()) {
        ComboPath->setEditText(BrowsedFolder);
        AddComboHistory(ComboPath);
    }
}

void TWzdForm::Bttn3dBrowseDefExtractClick()
{
    BrowsedFolder = m_dialogs->folder(this, BrowsedFolder.isEmpty() ? ComboDefDirExtr->currentText() : BrowsedFolder);
    if (QFileInfo(BrowsedFolder).isDir()) {
        ComboDefDirExtr->setEditText(BrowsedFolder);
        AddComboHistory(ComboDefDirExtr);
    }
}

void TWzdForm::Bttn3DDelComboPathClick()
{
    ComboPath->clear();
    ResetComboToDrives(ComboPath);
}

void TWzdForm::EDCmdLnChange()
{
    CommandToRun = EDCmdLn->text();
}

bool TWzdForm::folderBoxAccepts(QChar c)
{
    static const QString allowed = QStringLiteral(" !#$&*-.:@\\_~/");
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
        || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || allowed.contains(c);
}

bool TWzdForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip && !AffichageHint->isChecked())
        return true; // tips switched off
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->window() == this) {
        // The form sees every key first: Escape acts as the end button and
        // F1 opens help; the key still goes on to the focused control. A
        // press not taken goes on up to the parents as the same event: only
        // its first delivery counts, even when a question opened meanwhile.
        auto *receiver = static_cast<QWidget *>(watched);
        const bool passedUp = event == m_keyEvent && m_keyReceiver && receiver != m_keyReceiver
            && receiver->isAncestorOf(m_keyReceiver);
        m_keyEvent = event;
        m_keyReceiver = receiver;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (!passedUp && (key == Qt::Key_Escape || key == Qt::Key_F1))
            FormKeyDown(key);
    }
    if (event->type() == QEvent::MouseButtonRelease && (watched == Lb3dAdd || watched == Lb3dDel)) {
        watched == Lb3dAdd ? AddClick() : Delete();
        return true;
    }
    const bool folderBox = watched == ComboPath->lineEdit() || watched == ComboDefDirExtr->lineEdit();
    if (folderBox && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            AddComboHistory(watched == ComboPath->lineEdit() ? ComboPath : ComboDefDirExtr);
            return true;
        }
        const QString typed = key->text();
        if (!typed.isEmpty() && typed.at(0).isPrint() && !folderBoxAccepts(typed.at(0)))
            return true; // not a character a folder name may hold here
    }
    return QWidget::eventFilter(watched, event);
}

void TWzdForm::WzdEndClick()
{
    if (m_finishRunning)
        return;
    if (!Wzd->IsLastPage()) {
        if (m_dialogs->twoButtons(this, m_lg->ReadButton(QStringLiteral("sConfirm")),
                                  languageMessage(QStringLiteral("Msg_QuitWizard")), m_lg->ReadButton(QStringLiteral("sYes")),
                                  m_lg->ReadButton(QStringLiteral("sNo")), Dialogs::Icon::Question))
            close();
        return;
    }
    if (WizardFinished)
        close();
    else
        DoWhenWzdFinished();
}

void TWzdForm::installMenuEntries()
{
    FileManagerEntries entries = FileManagerEntries::forUser();
    if (!entries.install(Paths.folder, ShellMenuTexts::fromLanguageFile(m_lg->FN)))
        m_dialogs->error(this, QStringLiteral("Ne peut écrire dans %1").arg(entries.error()));
}

void TWzdForm::CbShellClick()
{
    // Runs from a check box (and at start-up for a stored "1", which
    // registers again for the folder the program is in now): a failure is
    // said, never thrown into the event loop.
    try {
        m_iniFile->writeBool(QStringLiteral("wzd"), QStringLiteral("zip2exe"), CbShell->isChecked());
        RegistryStore registry;
        if (CbShell->isChecked()) {
            ShellRegister(registry, Paths.folder);
            installMenuEntries();
        } else {
            ShellUnregister(registry);
            FileManagerEntries::forUser().uninstall();
        }
    } catch (const ProfileWriteError &e) {
        m_dialogs->error(this, e.message());
    } catch (const RegistryWriteError &e) {
        m_dialogs->error(this, e.message());
    }
}

