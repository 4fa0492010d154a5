// Around the wizard: the command line, dropped files, the Escape and F1
// keys, the context menus' switches, the side picture and the About box.

#include "TWzdForm.h"

#include "ArgumentUse.h"
#include "FonctionsUtiles.h"
#include "PathLabel.h"
#include "PrivateProfile.h"
#include "TAbout.h"
#include "TLanguage.h"
#include "TNotebook.h"
#include "TitleBand.h"
#include "WizardTexts.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

namespace {
const QString kWzd = QStringLiteral("wzd");

// The switches are written the moment they change; a settings file that
// cannot be written is said rather than thrown into the event loop.
template <typename Write>
void writeAtOnce(Dialogs &dialogs, QWidget *parent, Write write)
{
    try {
        write();
    } catch (const ProfileWriteError &e) {
        dialogs.error(parent, e.message());
    }
}
} // namespace

void TWzdForm::GestionParametres(const QStringList &arguments)
{
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return;
    const QString argument = QFileInfo(arguments.first()).absoluteFilePath();
    const ArgumentUse use = argumentUse(argument);
    if (use.archive) {
        EdZipFn->setText(argument);
        LbZipFN->setFileName(argument);
    }
    if (use.executable) {
        showPageDirectly(paExeZip);
        EdExeZipFn->setText(argument);
        LbFileExe->setFileName(argument);
        EdExeZipFnChange();
    }
}

void TWzdForm::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TWzdForm::dropEvent(QDropEvent *event)
{
    QStringList files;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            files << url.toLocalFile(); // the whole name, however long
    dropFiles(files);
    event->acceptProposedAction();
}

void TWzdForm::dropFiles(const QStringList &files)
{
    for (const QString &file : files) {
        const QString upper = file.toUpper();
        if (upper.contains(QLatin1String(".EXE")) && currentPage() == paZip) {
            EdExeZipFn->setText(file);
            showPageDirectly(paExeZip);
        }
        if (upper.contains(QLatin1String(".EXE")) && currentPage() == paExeZip)
            EdExeZipFn->setText(file);
        if (currentPage() == paZip && upper.contains(QLatin1String(".ZIP")))
            EdZipFn->setText(file);
        if (currentPage() == paView) {
            // A folder brings all its files.
            const QString fileSpec =
                QFileInfo(file).isDir() ? AddBackslash(file) + QStringLiteral("*.*") : file;
            ZipAdd(fileSpec);
        }
    }
    FillContentsGrid();
}

void TWzdForm::FormKeyDown(int key)
{
    if (key == Qt::Key_Escape)
        WzdEndClick();
    else if (key == Qt::Key_F1)
        showHelp(helpTopicOfPage(currentPage()));
}

void TWzdForm::FormTopClick()
{
    const bool onTop = FormTop->isChecked();
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (shown)
        show(); // a changed window flag hides the window
    writeAtOnce(*m_dialogs, this, [&] { m_iniFile->writeBool(kWzd, QStringLiteral("ftop"), onTop); });
}

void TWzdForm::AffichageHintClick()
{
    // The application filter drops tool tips while the mark is off.
    writeAtOnce(*m_dialogs, this, [&] { m_iniFile->writeBool(kWzd, QStringLiteral("vhint"), AffichageHint->isChecked()); });
}

void TWzdForm::LoadGifClick()
{
    static const QString filter = QStringLiteral(
        "Tout (*.gif;*.bmp;*.ico;*.emf;*.wmf)|*.gif;*.bmp;*.ico;*.emf;*.wmf|GIF Image (*.gif)|*.gif|Bitmaps (*.bmp)|*.bmp|"
        "Icônes (*.ico)|*.ico|MétaFichiers améliorés (*.emf)|*.emf|MetaFichiers (*.wmf)|*.wmf");
    const QString chosen = m_dialogs->openFile(this, filter, PictureFile);
    if (!chosen.isEmpty()) {
        PictureFile = chosen;
        showSidePicture();
    }
    writeAtOnce(*m_dialogs, this, [&] { m_iniFile->writeString(kWzd, QStringLiteral("img"), PictureFile); });
}

void TWzdForm::AnimateClick()
{
    showSidePicture();
    writeAtOnce(*m_dialogs, this, [&] { m_iniFile->writeBool(kWzd, QStringLiteral("gifanime"), Animate->isChecked()); });
}

void TWzdForm::ColorClick()
{
    const QColor chosen = m_dialogs->colour(this, MC1->endColour());
    if (!chosen.isValid())
        return;
    MC1->setEndColour(chosen);
    writeAtOnce(*m_dialogs, this,
                [&] { m_iniFile->writeInteger(kWzd, QStringLiteral("color"), TitleBand::toWindowsColour(chosen)); });
}

void TWzdForm::WzdHelpClick()
{
    TAbout about({m_lg->ReadButton(QStringLiteral("sClose")), m_lg->ReadThanks(QStringLiteral("sNameInBlue")),
                  m_lg->ReadThanks(QStringLiteral("sHint"))},
                 this);
    // The box is not there when the window is translated: its own lines now.
    const PrivateProfile language(m_lg->FN);
    for (const QString &path : WizardPropertyPaths())
        if (path.startsWith(QLatin1String("About."), Qt::CaseInsensitive))
            m_lg->ApplyTranslation(path, language.readString(QStringLiteral("Translations"), path, QString()));
    about.openUrl = [this](const QUrl &url) { m_dialogs->openUrl(url); };
    about.openHelp = [this] { showHelp(200); };
    m_dialogs->run(about);
}

QString TWzdForm::helpFile() const
{
    return Paths.folder + m_helpFile;
}

void TWzdForm::showHelp(int topic)
{
    QUrl url = QUrl::fromLocalFile(helpFile());
    url.setFragment(QString::number(topic));
    m_dialogs->openUrl(url);
}

int TWzdForm::helpTopicOfPage(Page page)
{
    return 210 + 10 * static_cast<int>(page); // the help pages' anchors
}

void TWzdForm::chooseHelpFile(const QString &languageName)
{
    // A language without its own page falls back to the English one.
    static const std::pair<const char *, const char *> pages[] = {
        {"french", "velmorak.html"}, {"deutsch", "velmorak_d.html"}, {"english", "velmorak_e.html"},
        {"italiano", "velmorak_i.html"}, {"espanol", "velmorak_s.html"}};
    QString page = QStringLiteral("velmorak_e.html");
    for (const auto &[name, file] : pages)
        if (languageName.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            page = QLatin1String(file);
    if (!QFileInfo::exists(Paths.folder + page))
        page = QStringLiteral("velmorak_e.html");
    m_helpFile = page;
}

QString TWzdForm::openFileWith(const QString &filter, const QString &startFile)
{
    m_lastFilter = filter;
    return m_dialogs->openFile(this, filter, startFile);
}
