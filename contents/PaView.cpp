// Page paView: the archive's entries in a sortable grid, as a viewer that
// adds and deletes, or as a picker for the command run after extraction;
// and the test of the archive from page paZip.

#include "TWzdForm.h"

#include "ContentsModel.h"
#include "FonctionsUtiles.h"
#include "PathLabel.h"
#include "TLanguage.h"
#include "TNotebook.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTableView>

namespace {

// The page's own texts: looked up in the language file, English when the
// file does not have them.
QString pageText(const TLanguage &lg, const char *key, const char *english)
{
    const QString text = lg.ReadMessage(QLatin1String(key));
    return text == QLatin1String(key) ? QLatin1String(english) : text;
}

} // namespace

// Progress of a long library operation, with a cancel button when the
// operation may be stopped. Nothing of the archive is lost by a cancel: the
// libraries replace it only when done.
class TWzdForm::LibraryProgress {
public:
    LibraryProgress(TWzdForm *form, bool cancellable) : m_form(form), m_dialog(form)
    {
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(500);
        m_dialog.setRange(0, 0);
        if (!cancellable)
            m_dialog.setCancelButton(nullptr);
        QObject::connect(&m_dialog, &QProgressDialog::canceled, [form] { form->ZA().CancelRequested = true; });
        form->ZA().OnProgress = [this](TZipArchiver *, ProgressType type, const QString &name, int64_t size) {
            if (type == ptTotalSize) {
                m_total = size;
                m_done = 0;
                m_dialog.setRange(0, 1000);
            } else if (type == ptNewFile) {
                m_dialog.setLabelText(name);
            } else if (type == ptUpdate && m_total > 0) {
                m_done += size;
                m_dialog.setValue(static_cast<int>(std::min<int64_t>(1000, m_done * 1000 / m_total)));
            }
        };
    }
    ~LibraryProgress()
    {
        m_form->ZA().OnProgress = nullptr;
        m_dialog.reset();
    }
    LibraryProgress(const LibraryProgress &) = delete;
    LibraryProgress &operator=(const LibraryProgress &) = delete;

private:
    TWzdForm *m_form;
    QProgressDialog m_dialog;
    int64_t m_total = 0;
    int64_t m_done = 0;
};

void TWzdForm::BtnViewClick()
{
    if (!CbWzdViewer->isChecked()) {
        // Shown by the desktop's program for archives; the wizard waits for it.
        RunCommand(LbZipFN->fileName(), 1, true);
        return;
    }
    ViewerFromZipPage = true;
    UpdateGrid();
    PanelAddDel->show();
    PanelRunFile->hide();
    showPageDirectly(paView);
}

void TWzdForm::BrowseRunFileClick()
{
    PanelAddDel->hide();
    PanelRunFile->show();
    showPageDirectly(paView);
}

void TWzdForm::UpdateGrid()
{
    const QString archive = LbZipFN->fileName();
    m_za->setZipFileName(QFileInfo(archive).isFile() ? archive : QString());
    m_heading = languageMessage(QStringLiteral("Cap_Cell0")) + QFileInfo(archive).fileName();
    // A new archive is shown in ascending order; later refills keep the order.
    GridModel->sort(0, Qt::AscendingOrder);
    StringGrid1->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    FillContentsGrid();
}

void TWzdForm::FillContentsGrid()
{
    StatusText = m_za->Count() > 0
        ? StatusRowText(m_za->Entries(), languageMessage(QStringLiteral("Cap_StatusExploFiles")),
                        FileSizeOf(m_za->ZipFileName()))
        : QString();
    GridModel->reset(&m_za->Entries(), m_heading, StatusText);
    StringGrid1->setCurrentIndex(GridModel->index(0, 0));
}

void TWzdForm::StringGrid1ClickSort(int column)
{
    // Each heading click reverses the order; the status row stays last.
    const Qt::SortOrder order =
        GridModel->sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    GridModel->sort(column, order);
    StringGrid1->horizontalHeader()->setSortIndicator(column, order);
}

void TWzdForm::StringGrid1DblClick(const QModelIndex &index)
{
    const QString picked = GridModel->nameAt(index.isValid() ? index.row() : StringGrid1->currentIndex().row()).toUpper();
    if (picked.isEmpty())
        return;
    LbSelectedFn->setText(picked);
    EDCmdLn->setText(picked);
}

void TWzdForm::BtnTestClick()
{
    m_za->setZipFileName(LbZipFN->fileName());
    Test();
}

void TWzdForm::Test()
{
    if (m_za->Count() == 0) {
        m_dialogs->error(this, languageMessage(QStringLiteral("Msg_NoZipToTest")));
        return;
    }
    if (m_za->ZipFileName().isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_za->setFSpecArgs({QStringLiteral("*.*")});
    m_za->ExtrOptions.insert(ExtrTest);
    const int count = m_za->Count();
    QElapsedTimer clock;
    clock.start();
    {
        LibraryProgress progress(this, true);
        m_za->ExtractEntries();
    }
    const auto elapsed = static_cast<uint32_t>(clock.elapsed());
    QApplication::restoreOverrideCursor();
    if (m_za->ProcessedCount == count)
        m_dialogs->information(this, languageMessage(QStringLiteral("Msg_TestOkAndTime")) + ElapsedText(0, elapsed));
    else
        m_dialogs->error(this, languageMessage(QStringLiteral("Msg_TestError")) + QString::number(count - m_za->ProcessedCount));
}

void TWzdForm::AddClick()
{
    const QString chosen = m_dialogs->openFile(this, m_lastFilter, QString());
    if (!chosen.isEmpty())
        ZipAdd(chosen);
}

void TWzdForm::ZipAdd(const QString &fileSpec)
{
    if (m_za->ZipFileName().isEmpty()) {
        m_dialogs->error(this, pageText(*m_lg, "Msg_OpenZipFirst", "Error - open a zip file first"));
        return;
    }
    if (!m_dialogs->confirm(this, languageMessage(QStringLiteral("Msg_AddThisFile")) + QStringLiteral("[ ")
                                      + fileSpec + QStringLiteral(" ]")))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_za->AddCompLevel = CompressionLevel;
    m_za->AddOptions = AddOpts{AddHiddenFiles};
    if (Path->isChecked())
        m_za->AddOptions.insert(AddDirNames);
    if (QFileInfo::exists(m_za->ZipFileName()))
        m_za->AddOptions.insert(AddUpdate);
    m_za->setFSpecArgs({fileSpec});
    {
        LibraryProgress progress(this, true);
        m_za->AddFiles();
    }
    QApplication::restoreOverrideCursor();
    FillContentsGrid();
}

void TWzdForm::Delete()
{
    if (m_za->Count() == 0) {
        m_dialogs->error(this, pageText(*m_lg, "Msg_NoFilesToDelete", "Error - no files to delete"));
        return;
    }
    if (!m_dialogs->confirm(this, languageMessage(QStringLiteral("Msg_AskDelFiles"))))
        return;
    // The selected rows in the order shown; the status row is never an entry.
    QStringList names;
    QList<int> rows;
    for (const QModelIndex &index : StringGrid1->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    for (int row : rows)
        if (!GridModel->isStatusRow(row))
            names << GridModel->nameAt(row);
    if (names.isEmpty()) {
        m_dialogs->error(this, pageText(*m_lg, "Msg_NoFilesSelected", "Error - no files selected"));
        return;
    }
    m_za->setFSpecArgs(names);
    QElapsedTimer clock;
    clock.start();
    {
        LibraryProgress progress(this, false);
        m_za->DeleteEntries();
    }
    const auto elapsed = static_cast<uint32_t>(clock.elapsed());
    m_dialogs->information(this, QString::number(m_za->ProcessedCount)
                                     + languageMessage(QStringLiteral("Msg_FilesDeletedAndTIme")) + ElapsedText(0, elapsed));
    FillContentsGrid();
}
