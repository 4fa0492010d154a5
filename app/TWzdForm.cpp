// The main window's widgets, start-up and closing.

#include "TWzdForm.h"

#include "AutoCompleteComboBox.h"
#include "ContentsModel.h"
#include "ComboHistory.h"
#include "FonctionsUtiles.h"
#include "IconExtractor.h"
#include "IconImage.h"
#include "LanguageFilePath.h"
#include "PathLabel.h"
#include "PrivateProfile.h"
#include "RegistryStore.h"
#include "ProgressLabel.h"
#include "TLanguage.h"
#include "TNotebook.h"
#include "TitleBand.h"
#include "WizardTexts.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMovie>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The smallest client area the pages were drawn for.
constexpr int kMinimumWidth = 447;
constexpr int kMinimumHeight = 284;

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel *textLabel(QWidget *parent, const char *name)
{
    auto *label = named(new QLabel(parent), name);
    label->setWordWrap(true);
    return label;
}

QLabel *titleLabel(QWidget *parent, const char *name)
{
    auto *label = textLabel(parent, name);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.25);
    label->setFont(font);
    return label;
}

QCheckBox *checkBox(QWidget *parent, const char *name)
{
    return named(new QCheckBox(parent), name);
}

QPushButton *button(QWidget *parent, const char *name, const QString &text = QString())
{
    auto *b = named(new QPushButton(text, parent), name);
    b->setAutoDefault(false);
    return b;
}

// A "..." button beside a field.
QPushButton *browseButton(QWidget *parent, const char *name)
{
    QPushButton *b = button(parent, name, QStringLiteral("..."));
    b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
    return b;
}

QHBoxLayout *row(std::initializer_list<QWidget *> widgets, int stretchAt = 0)
{
    auto *layout = new QHBoxLayout;
    int i = 0;
    for (QWidget *w : widgets)
        layout->addWidget(w, i++ == stretchAt ? 1 : 0);
    return layout;
}

QVBoxLayout *pageLayout(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(6);
    return layout;
}

// A spin box whose text field the form reaches by its own name.
class IconIndexBox : public QSpinBox {
public:
    explicit IconIndexBox(QWidget *parent) : QSpinBox(parent) {}
    QLineEdit *edit() const { return lineEdit(); }
};

} // namespace

TWzdForm::TWzdForm(const ProgramFolder &paths, Dialogs *dialogs, const QStringList &arguments)
    : Paths(paths),
      m_ownDialogs(dialogs ? nullptr : std::make_unique<Dialogs>()),
      m_dialogs(dialogs ? dialogs : m_ownDialogs.get()),
      m_za(std::make_unique<TZipArchiver>(m_dialogs->archiverHost(this))),
      m_lg(new TLanguage(this)),
      m_iniFile(std::make_unique<PrivateProfile>(paths.iniFileName))
{
    setObjectName(QStringLiteral("WzdForm"));
    m_lg->Properties = WizardPropertyPaths();
    // The engine's settings on this form.
    m_za->SFXPath = QStringLiteral("SfxStub.bin");
    m_za->HowToDelete = htdFinal;
    m_za->SFXOverWriteMode = OvrConfirm;
    m_za->setDLLDirectory(paths.folder);
    buildWidgets();
    connectHandlers();
    FormCreate(arguments);
}

TWzdForm::~TWzdForm()
{
    qApp->removeEventFilter(this);
    m_za->UnloadZipLibrary();
}

TWzdForm::Page TWzdForm::currentPage() const
{
    return static_cast<Page>(NoteBook1->PageIndex());
}

QString TWzdForm::languageMessage(const QString &key) const
{
    return m_lg->ReadMessage(key);
}

void TWzdForm::buildWidgets()
{
    MC1 = named(new TitleBand(this), "MC1");
    Image1 = named(new QLabel(this), "Image1");
    Image1->setFixedSize(57, 230);
    Image1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    Image1->setContextMenuPolicy(Qt::CustomContextMenu);
    NoteBook1 = named(new TNotebook(this), "NoteBook1");
    NoteBook1->setMinimumSize(369, 230);
    NoteBook1->setAutoFillBackground(true);
    QPalette silver = NoteBook1->palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    // The style's disabled grey is nearly silver itself: greyed-out boxes
    // such as the button-set pair would lose their texts.
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text})
        silver.setColor(QPalette::Disabled, role, QColor(110, 110, 110));
    NoteBook1->setPalette(silver);
    NoteBook1->AddPage(QStringLiteral("paStart"), buildStartPage());
    NoteBook1->AddPage(QStringLiteral("paZip"), buildZipPage());
    NoteBook1->AddPage(QStringLiteral("paName"), buildNamePage());
    NoteBook1->AddPage(QStringLiteral("paExe"), buildExePage());
    NoteBook1->AddPage(QStringLiteral("paMsg"), buildMsgPage());
    NoteBook1->AddPage(QStringLiteral("paRunFile"), buildRunFilePage());
    NoteBook1->AddPage(QStringLiteral("paView"), buildViewPage());
    NoteBook1->AddPage(QStringLiteral("paExeZip"), buildExeZipPage());
    NoteBook1->AddPage(QStringLiteral("paEnd"), buildEndPage());
    Wzd = named(new TWizardFrame(this), "Wzd");
    Wzd->SetNoteBook(NoteBook1);

    auto *pages = new QHBoxLayout;
    pages->setContentsMargins(8, 4, 6, 6);
    pages->setSpacing(7);
    pages->addWidget(Image1, 0, Qt::AlignTop);
    pages->addWidget(NoteBook1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // A fixed border, as the pages were drawn for, but one that follows its
    // texts: a language chosen from the menu may need more room.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(MC1);
    layout->addLayout(pages, 1);
    layout->addWidget(Wzd);
    setMinimumSize(kMinimumWidth, kMinimumHeight + MC1->height());
    buildMenus();
}

QWidget *TWzdForm::buildStartPage()
{
    auto *page = new QWidget;
    QVBoxLayout *layout = pageLayout(page);
    layout->addWidget(LbStartTop = titleLabel(page, "LbStartTop"));
    layout->addWidget(LbStart2 = textLabel(page, "LbStart2"));
    layout->addWidget(LbStart3 = textLabel(page, "LbStart3"));
    layout->addWidget(LbStart4 = textLabel(page, "LbStart4"));
    layout->addStretch(1);
    layout->addWidget(CbShell = checkBox(page, "CbShell"));
    return page;
}

QWidget *TWzdForm::buildZipPage()
{
    auto *page = new QWidget;
    QVBoxLayout *layout = pageLayout(page);
    layout->addWidget(LbZipTop = titleLabel(page, "LbZipTop"));
    layout->addWidget(LbZip2 = textLabel(page, "LbZip2"));
    layout->addWidget(LbZip3 = textLabel(page, "LbZip3"));
    EdZipFn = named(new QLineEdit(page), "EdZipFn");
    BttnBrowse = browseButton(page, "BttnBrowse");
    layout->addLayout(row({EdZipFn, BttnBrowse}));
    layout->addWidget(LbZipFN = named(new PathLabel(page), "LbZipFN"));
    layout->addStretch(1);
    BtnView = button(page, "BtnView");
    BtnTest = button(page, "BtnTest");
    CbWzdViewer = checkBox(page, "CbWzdViewer");
    CbWzdViewer->setChecked(true);
    layout->addWidget(CbWzdViewer);
    auto *buttons = row({BtnView, BtnTest}, -1);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    return page;
}

QWidget *TWzdForm::buildNamePage()
{
    auto *page = new QWidget;
    QVBoxLayout *layout = pageLayout(page);
    layout->addWidget(LbTopName = titleLabel(page, "LbTopName"));
    layout->addWidget(LbName1 = textLabel(page, "LbName1"));
    LbDateZip = named(new QLabel(QStringLiteral("0000"), page), "LbDateZip");
    EdEXEFn = named(new QLineEdit(page), "EdEXEFn");
    LbZipExt = named(new QLabel(QStringLiteral(".exe"), page), "LbZipExt");
    layout->addLayout(row({LbDateZip, EdEXEFn, LbZipExt}, 1));
    layout->addWidget(LbName2 = textLabel(page, "LbName2"));
    layout->addWidget(CBDatePrefix = checkBox(page, "CBDatePrefix"));
    layout->addWidget(CbKeepZip = checkBox(page, "CbKeepZip"));
    CbKeepZip->setChecked(true);
    layout->addWidget(LbName3 = textLabel(page, "LbName3"));
    ComboPath = named(new AutoCompleteComboBox(page), "ComboPath");
    BrowPath = browseButton(page, "BrowPath");
    Bttn3DDelComboPath = button(page, "Bttn3DDelComboPath", QStringLiteral("×"));
    Bttn3DDelComboPath->setFixedWidth(BrowPath->width());
    layout->addLayout(row({ComboPath, BrowPath, Bttn3DDelComboPath}));
    layout->addWidget(LbFileDest = named(new PathLabel(page), "LbFileDest"));
    layout->addStretch(1);
    return page;
}

QWidget *TWzdForm::buildExePage()
{
    auto *page = new QWidget;
    QVBoxLayout *layout = pageLayout(page);
    layout->addWidget(LbExeTop = titleLabel(page, "LbExeTop"));
    layout->addWidget(LbExe1 = textLabel(page, "LbExe1"));
    ComboDefDirExtr = named(new AutoCompleteComboBox(page), "ComboDefDirExtr");
    Bttn3dBrowseDefExtract = browseButton(page, "Bttn3dBrowseDefExtract");
    layout->addLayout(row({ComboDefDirExtr, Bttn3dBrowseDefExtract}));
    layout->addWidget(LbExe2 = textLabel(page, "LbExe2"));
    layout->addWidget(LbExe3 = textLabel(page, "LbExe3"));
    layout->addWidget(CBForceOverWrite = checkBox(page, "CBForceOverWrite"));
    layout->addWidget(CbSuccesMsg = checkBox(page, "CbSuccesMsg"));
    CbSuccesMsg->setChecked(true);
    layout->addWidget(CbAutoRun = checkBox(page, "CbAutoRun"));
    layout->addWidget(CbAskFiles = checkBox(page, "CbAskFiles"));
    layout->addStretch(1);
    return page;
}

QWidget *TWzdForm::buildMsgPage()
{
    auto *page = new QWidget;
    QVBoxLayout *layout = pageLayout(page);
    layout->addWidget(LbMsgTop = titleLabel(page, "LbMsgTop"));
    layout->addWidget(LbMsg1 = textLabel(page, "LbMsg1"));
    layout->addWidget(EdTitre = named(new QLineEdit(page), "EdTitre"));
    layout->addWidget(LbMsg2 = textLabel(page, "LbMsg2"));
    IconEdit = named(new QLineEdit(page), "IconEdit");
    BrowseIco = browseButton(page, "BrowseIco");
    auto *index = new IconIndexBox(page);
    IconIndexUD = named(static_cast<QSpinBox *>(index), "IconIndexUD");
    IconIndexUD->setRange(0, 32767);
    IconIndexUD->setWrapping(true);
    IconIndexUD->setGroupSeparatorShown(false);
    IconIndexEdit = named(index->edit(), "IconIndexEdit");
    Image2 = named(new QLabel(page), "Image2");
    Image2->setFixedSize(32, 32);
    layout->addLayout(row({IconEdit, BrowseIco, IconIndexUD, Image2}));
    layout->addWidget(LbMsg3 = textLabel(page, "LbMsg3"));
    CbSFXMsg = checkBox(page, "CbSFXMsg");
    BtnMsg = button(page, "BtnMsg");
    auto *messageRow = row({CbSFXMsg, BtnMsg}, 0);
    layout->addLayout(messageRow);
    layout->addWidget(EdMsgSfx = named(new QLineEdit(page), "EdMsgSfx"));
    CbOkEsc = checkBox(page, "CbOkEsc");
    CbOkEsc->setChecked(true);
    CbYesNo = checkBox(page, "CbYesNo");
    auto *pair = row({CbOkEsc, CbYesNo}, -1);
    pair->addStretch(1);
    layout->addLayout(pair);
    edTypeboiteInt = named(new QLineEdit(QStringLiteral("2"), page), "edTypeboiteInt");
    edTypeboiteInt->hide();
    layout->addStretch(1);
    return page;
}

QWidget *TWzdForm::buildRunFilePage()
{
    auto *page = new QWidget;
    QVBoxLayout *layout = pageLayout(page);
    layout->addWidget(LbRunTop = titleLabel(page, "LbRunTop"));
    layout->addWidget(LbRun1 = textLabel(page, "LbRun1"));
    layout->addWidget(LbRun2 = textLabel(page, "LbRun2"));
    layout->addWidget(CbRunAFile = checkBox(page, "CbRunAFile"));
    EDCmdLn = named(new QLineEdit(page), "EDCmdLn");
    BrowseRunFile = browseButton(page, "BrowseRunFile");
    layout->addLayout(row({EDCmdLn, BrowseRunFile}));
    for (auto [label, name] : {std::pair{&LbRun3, "LbRun3"}, {&LbRun4, "LbRun4"}, {&LbRun5, "LbRun5"},
                               {&LbRun6, "LbRun6"}, {&LbRun7, "LbRun7"}})
        layout->addWidget(*label = textLabel(page, name));
    layout->addStretch(1);
    return page;
}

QWidget *TWzdForm::buildViewPage()
{
    auto *page = new QWidget;
    QVBoxLayout *layout = pageLayout(page);
    PanelRunFile = named(new QWidget(page), "PnlRunFile");
    auto *runFile = new QVBoxLayout(PanelRunFile);
    runFile->setContentsMargins(0, 0, 0, 0);
    runFile->addWidget(LbView1 = textLabel(PanelRunFile, "LbView1"));
    LbView1->setStyleSheet(QStringLiteral("color: navy;"));
    runFile->addWidget(LbSelectedFn = textLabel(PanelRunFile, "LbSelectedFn"));
    QFont bold = LbSelectedFn->font();
    bold.setBold(true);
    LbSelectedFn->setFont(bold);
    layout->addWidget(PanelRunFile);
    StringGrid1 = named(new QTableView(page), "StringGrid1");
    GridModel = new ContentsModel(this);
    StringGrid1->setModel(GridModel);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setShowGrid(true);
    StringGrid1->horizontalHeader()->setStretchLastSection(true);
    StringGrid1->horizontalHeader()->setSectionsClickable(true);
    StringGrid1->horizontalHeader()->setSortIndicatorShown(true);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setDefaultSectionSize(StringGrid1->fontMetrics().height() + 4);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(StringGrid1, 1);
    PanelAddDel = named(new QWidget(page), "PnAddOrDel");
    auto *addDel = new QHBoxLayout(PanelAddDel);
    addDel->setContentsMargins(0, 0, 0, 0);
    Btn3dADD = button(PanelAddDel, "Btn3dADD", QStringLiteral("+"));
    Btn3dDEL = button(PanelAddDel, "Btn3dDEL", QStringLiteral("-"));
    for (QPushButton *b : {Btn3dADD, Btn3dDEL})
        b->setFixedSize(26, 26);
    addDel->addWidget(Btn3dADD);
    addDel->addWidget(Lb3dAdd = textLabel(PanelAddDel, "Lb3dAdd"), 1);
    addDel->addWidget(Btn3dDEL);
    addDel->addWidget(Lb3dDel = textLabel(PanelAddDel, "Lb3dDel"), 1);
    for (QLabel *l : {Lb3dAdd, Lb3dDel})
        l->setCursor(Qt::PointingHandCursor);
    layout->addWidget(PanelAddDel);
    PanelRunFile->hide();
    return page;
}

QWidget *TWzdForm::buildExeZipPage()
{
    auto *page = new QWidget;
    QVBoxLayout *layout = pageLayout(page);
    layout->addWidget(LbExeZipTop = titleLabel(page, "LbExeZipTop"));
    layout->addWidget(LbExeZip1 = textLabel(page, "LbExeZip1"));
    EdExeZipFn = named(new QLineEdit(page), "EdExeZipFn");
    BtnBrowseExe = browseButton(page, "BtnBrowseExe");
    layout->addLayout(row({EdExeZipFn, BtnBrowseExe}));
    layout->addWidget(LbFileExe = named(new PathLabel(page), "LbFileExe"));
    layout->addWidget(LbExeZip2 = textLabel(page, "LbExeZip2"));
    BtnExeZip = button(page, "BtnExeZip");
    BtnExeZip->setEnabled(false);
    auto *buttons = row({BtnExeZip}, -1);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(1);
    return page;
}

QWidget *TWzdForm::buildEndPage()
{
    auto *page = new QWidget;
    QVBoxLayout *layout = pageLayout(page);
    layout->addWidget(LbEndTop = titleLabel(page, "LbEndTop"));
    layout->addWidget(LbEnd2 = textLabel(page, "LbEnd2"));
    for (auto [label, name] : {std::pair{&DRLabel1, "DRLabel1"}, {&DRLabel2, "DRLabel2"}, {&DRLabel3, "DRLabel3"},
                               {&DRLabel4, "DRLabel4"}}) {
        *label = named(new ProgressLabel(page), name);
        layout->addWidget(*label);
    }
    layout->addStretch(1);
    layout->addWidget(CbTest = checkBox(page, "CbTest"));
    return page;
}

void TWzdForm::buildMenus()
{
    const auto action = [this](QMenu *menu, const char *name, bool checkable = false) {
        QAction *a = named(menu->addAction(QString()), name);
        a->setParent(this); // found by the translation pass under the form
        a->setCheckable(checkable);
        return a;
    };
    PopupMenu1 = named(new QMenu(this), "PopupMenu1");
    MnuLang = named(PopupMenu1->addMenu(QString()), "MnuLang");
    auto *languages = new QActionGroup(this);
    for (auto [slot, name] : {std::pair{&MnuFrench, "MnuFrench"}, {&MnuEnglish, "MnuEnglish"},
                              {&MnuDeutsch, "MnuDeutsch"}, {&mnuItalian, "mnuItalian"}, {&mnuSpanish, "mnuSpanish"}}) {
        *slot = action(MnuLang, name, true);
        languages->addAction(*slot);
    }
    MnuLang->addSeparator()->setObjectName(QStringLiteral("N1"));
    MnuCustom = action(MnuLang, "MnuCustom", true);
    languages->addAction(MnuCustom);
    CustomEnd = action(PopupMenu1, "CustomEnd");
    CustomEnd->setVisible(false);
    Path = action(PopupMenu1, "Path", true);
    FormatDate = named(PopupMenu1->addMenu(QString()), "FormatDate");
    JJMM = action(FormatDate, "JJMM", true);
    MMJJ = action(FormatDate, "MMJJ", true);
    FormTop = action(PopupMenu1, "FormTop", true);
    AffichageHint = action(PopupMenu1, "AffichageHint", true);
    PopMnuGif = named(new QMenu(this), "PopMnuGif");
    LoadGif = action(PopMnuGif, "LoadGif");
    LoadGif->setText(QStringLiteral("Load"));
    Animate = action(PopMnuGif, "Animate", true);
    Animate->setText(QStringLiteral("Animation"));
    Color = action(PopMnuGif, "Color");
    Color->setText(QStringLiteral("Color"));
    setContextMenuPolicy(Qt::CustomContextMenu);
}

void TWzdForm::openSideMenu(const QPoint &at)
{
    PopupMenu1->popup(mapToGlobal(at));
}

void TWzdForm::FormCreate(const QStringList &arguments)
{
    const std::pair<QAction *, const char *> languageItems[] = {
        {MnuEnglish, "English"}, {MnuFrench, "French"}, {MnuDeutsch, "Deutsch"},
        {mnuSpanish, "espanol"}, {mnuItalian, "italiano"}, {MnuCustom, "custom"}};
    for (const auto &[item, name] : languageItems)
        item->setEnabled(QFileInfo::exists(LanguageFilePath(QLatin1String(name), Paths.folder)));
    const QString languageName =
        m_iniFile->readString(QStringLiteral("general"), QStringLiteral("lang"), QStringLiteral("French"));
    m_lg->FN = LanguageFilePath(languageName, Paths.folder);
    m_lg->Translate();
    setWindowTitle(languageMessage(QStringLiteral("Cap_paStart")));
    QDir().mkpath(Paths.tmpDir);
    LoadGlobalSet();
    setAcceptDrops(true);
    CbSFXMsgClick();
    CbRunAFileClick();
    CBDatePrefixClick();
    CbKeepZipClick();
    LoadComboHistory(ComboPath, Paths.iniFileName, QStringLiteral("HistoryCfgDir"), DefaultHistoryEntry());
    LoadComboHistory(ComboDefDirExtr, Paths.iniFileName, QStringLiteral("HistoryExtDir"), kWindowsDefaultFolder);
    UpdateTop();
    EdZipFnChange();
    // The preview shows the restored icon, which is the one the executable gets.
    IconIndexChanged();
    resetProgressLabels();
    m_za->Unattended = false;
    m_za->LoadZipLibrary();
    chooseHelpFile(languageName);
    GestionParametres(arguments);
}

void TWzdForm::showPageDirectly(Page page)
{
    NoteBook1->SetPageIndex(page);
}

void TWzdForm::closeEvent(QCloseEvent *event)
{
    if (m_finishRunning) {
        event->ignore();
        return;
    }
    if (!m_closing) {
        m_closing = true;
        FormClose();
    }
    event->accept();
}

void TWzdForm::FormClose()
{
    if (CbKeepZip->isChecked() && !WorkZipFile.isEmpty()) {
        const QFileInfo work(WorkZipFile);
        m_za->EraseFile(work.path() + QLatin1Char('/') + work.completeBaseName() + QStringLiteral(".*"), htdFinal);
    }
    setAcceptDrops(false);
    try {
        SaveGlobalSet();
    } catch (const ProfileWriteError &e) {
        m_dialogs->error(this, e.message());
    } catch (const RegistryWriteError &e) {
        m_dialogs->error(this, e.message());
    }
}

void TWzdForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::WindowTitleChange || event->type() == QEvent::ActivationChange)
        MC1->update();
    QWidget::changeEvent(event);
}

void TWzdForm::resetProgressLabels()
{
    DRLabel1->setIdle(Step1Text);
    DRLabel2->setIdle(Step2Text);
    DRLabel3->setIdle(languageMessage(QStringLiteral("Cap_3dCreate")));
    DRLabel4->setIdle(languageMessage(QStringLiteral("Cap_3dQuit")));
}

void TWzdForm::showSidePicture()
{
    delete m_movie;
    m_movie = nullptr;
    Image1->clear();
    if (!QFileInfo::exists(PictureFile))
        return;
    m_movie = new QMovie(PictureFile, QByteArray(), this);
    if (m_movie->isValid() && m_movie->frameCount() != 1) {
        Image1->setMovie(m_movie);
        if (Animate->isChecked())
            m_movie->start();
        else
            m_movie->jumpToFrame(0);
    } else {
        delete m_movie;
        m_movie = nullptr;
        Image1->setPixmap(QPixmap(PictureFile).scaled(Image1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
}

void TWzdForm::applyLanguage(const QString &name)
{
    m_lg->FN = LanguageFilePath(name, Paths.folder);
    // A menu command must not throw into the event loop: a failed step is
    // said, and the steps after it do not run.
    try {
        m_iniFile->writeString(QStringLiteral("general"), QStringLiteral("lang"), name);
        m_lg->Translate();
        m_lg->WriteRegistryEntries();
        // The menus the file managers show speak the wizard's language too.
        if (CbShell->isChecked())
            installMenuEntries();
    } catch (const ProfileWriteError &e) {
        m_dialogs->error(this, e.message());
        return;
    } catch (const TranslationError &e) {
        m_dialogs->error(this, e.message());
        return;
    } catch (const RegistryWriteError &e) {
        m_dialogs->error(this, e.message());
        return;
    }
    chooseHelpFile(name);
}

void TWzdForm::connectHandlers()
{
    // The extraction box may show the language's name for the temporary
    // folder; a new language renames it there, or the choice would be lost
    // (written as that literal folder name instead of "><").
    m_lg->OnAfterTranslation = [this, shown = QString()](TLanguage *) mutable {
        const QString now = languageMessage(QStringLiteral("sTempFolder"));
        const QString text = ComboDefDirExtr->currentText();
        if (!shown.isEmpty() && shown != now && text.contains(shown))
            ComboDefDirExtr->setEditText(QString(text).replace(shown, now));
        shown = now;
    };
    Wzd->OnPageChanging = [this](TWizDirection direction, int &showPage) { WzdPageChanging(direction, showPage); };
    Wzd->OnPageChange = [this](TWizardFrame *) { WzdPageChange(); };
    Wzd->OnEndClick = [this](TWizardFrame *) { WzdEndClick(); };
    Wzd->OnHelpClick = [this](TWizardFrame *) { WzdHelpClick(); };
    Wzd->OnHandlerError = [this](TWizardFrame *, std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception &e) {
            m_dialogs->error(this, QString::fromLocal8Bit(e.what()));
        } catch (...) {
            m_dialogs->error(this, QStringLiteral("?"));
        }
    };
    connect(EdZipFn, &QLineEdit::textChanged, this, &TWzdForm::EdZipFnChange);
    connect(EdEXEFn, &QLineEdit::textChanged, this, &TWzdForm::UpdateTop);
    connect(ComboPath, &QComboBox::currentTextChanged, this, &TWzdForm::UpdateTop);
    connect(CBDatePrefix, &QCheckBox::toggled, this, &TWzdForm::CBDatePrefixClick);
    connect(CbKeepZip, &QCheckBox::toggled, this, &TWzdForm::CbKeepZipClick);
    connect(CbShell, &QCheckBox::toggled, this, &TWzdForm::CbShellClick);
    connect(BttnBrowse, &QPushButton::clicked, this, &TWzdForm::BttnBrowseClick);
    connect(BtnBrowseExe, &QPushButton::clicked, this, &TWzdForm::BtnBrowseExeClick);
    connect(EdExeZipFn, &QLineEdit::textChanged, this, &TWzdForm::EdExeZipFnChange);
    connect(BtnExeZip, &QPushButton::clicked, this, &TWzdForm::BtnExeZipClick);
    connect(BrowPath, &QPushButton::clicked, this, &TWzdForm::BrowPathClick);
    connect(Bttn3dBrowseDefExtract, &QPushButton::clicked, this, &TWzdForm::Bttn3dBrowseDefExtractClick);
    connect(Bttn3DDelComboPath, &QPushButton::clicked, this, &TWzdForm::Bttn3DDelComboPathClick);
    connect(EDCmdLn, &QLineEdit::textChanged, this, &TWzdForm::EDCmdLnChange);
    connect(BtnView, &QPushButton::clicked, this, &TWzdForm::BtnViewClick);
    connect(CbSFXMsg, &QCheckBox::toggled, this, &TWzdForm::CbSFXMsgClick);
    connect(CbOkEsc, &QCheckBox::toggled, this, &TWzdForm::CbOkEscClick);
    connect(CbYesNo, &QCheckBox::toggled, this, &TWzdForm::CbYesNoClick);
    connect(BtnMsg, &QPushButton::clicked, this, &TWzdForm::BtnMsgClick);
    connect(BrowseIco, &QPushButton::clicked, this, &TWzdForm::BrowseIcoClick);
    connect(IconIndexUD, &QSpinBox::valueChanged, this, &TWzdForm::IconIndexChanged);
    connect(CbRunAFile, &QCheckBox::toggled, this, &TWzdForm::CbRunAFileClick);
    connect(BrowseRunFile, &QPushButton::clicked, this, &TWzdForm::BrowseRunFileClick);
    connect(BtnTest, &QPushButton::clicked, this, &TWzdForm::BtnTestClick);
    connect(Btn3dADD, &QPushButton::clicked, this, &TWzdForm::AddClick);
    connect(Btn3dDEL, &QPushButton::clicked, this, &TWzdForm::Delete);
    connect(StringGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this, &TWzdForm::StringGrid1ClickSort);
    connect(StringGrid1, &QTableView::doubleClicked, this, &TWzdForm::StringGrid1DblClick);
    connect(FormTop, &QAction::triggered, this, &TWzdForm::FormTopClick);
    connect(AffichageHint, &QAction::triggered, this, &TWzdForm::AffichageHintClick);
    connect(LoadGif, &QAction::triggered, this, &TWzdForm::LoadGifClick);
    connect(Animate, &QAction::triggered, this, &TWzdForm::AnimateClick);
    connect(Color, &QAction::triggered, this, &TWzdForm::ColorClick);
    for (QLabel *label : {Lb3dAdd, Lb3dDel})
        label->installEventFilter(this);

    connect(FormatDate, &QMenu::aboutToShow, this, &TWzdForm::FormatDateClick);
    connect(JJMM, &QAction::triggered, this, &TWzdForm::JJMMClick);
    connect(MMJJ, &QAction::triggered, this, &TWzdForm::MMJJClick);
    connect(this, &QWidget::customContextMenuRequested, this, &TWzdForm::openSideMenu);
    connect(Image1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopMnuGif->popup(Image1->mapToGlobal(at)); });
    const std::pair<QAction *, const char *> languages[] = {{MnuFrench, "French"},   {MnuEnglish, "English"},
                                                            {MnuDeutsch, "Deutsch"}, {mnuItalian, "italiano"},
                                                            {mnuSpanish, "espanol"}, {MnuCustom, "custom"}};
    for (const auto &[item, name] : languages)
        connect(item, &QAction::triggered, this, [this, language = QString::fromLatin1(name)] { applyLanguage(language); });
    for (QLineEdit *edit : {ComboPath->lineEdit(), ComboDefDirExtr->lineEdit()})
        edit->installEventFilter(this);
    qApp->installEventFilter(this);
}
