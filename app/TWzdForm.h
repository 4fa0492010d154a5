#pragma once
// The main window: the nine wizard pages in one notebook, the wizard frame
// below them, the side picture and the context menus. The form coordinates;
// its handlers are split over files by concern:
//   TWzdForm.cpp           widgets, start-up and closing
//   TWzdFormSettings.cpp   reading and writing MANTOLE.INI
//   TWzdFormFlow.cpp       page moves, derived names, folder boxes, end button
//   TWzdFormFinish.cpp     the Finish sequence
//   TWzdFormConversion.cpp ZipToExe, GoForExe, GoForZip
//   PaMsg.cpp              the message-and-icon page and the command page
//   DateMenu.cpp           the date-prefix order menu
// Every widget's object name is the one the language files use.

#include "Dialogs.h"
#include "ProgramFolder.h"
#include "TWizardFrame.h"
#include "ZipArchiver.h"

#include <QDateTime>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <memory>

class AutoCompleteComboBox;
class ContentsModel;
class QModelIndex;
class PathLabel;
class PrivateProfile;
class ProgressLabel;
class QAction;
class QCheckBox;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QMovie;
class QPushButton;
class QSpinBox;
class QTableView;
class TLanguage;
class TNotebook;
class TitleBand;

class TWzdForm : public QWidget {
    Q_OBJECT

public:
    enum Page { paStart, paZip, paName, paExe, paMsg, paRunFile, paView, paExeZip, paEnd };

    // The form of a program living in paths; dialogs answers its questions
    // (owned by the caller; nullptr: the standard dialogs). FormCreate runs
    // at once, with arguments standing for the command line.
    explicit TWzdForm(const ProgramFolder &paths, Dialogs *dialogs = nullptr, const QStringList &arguments = {});
    ~TWzdForm() override;

    static const QString kWindowsDefaultFolder;
    // The path with the extension of its file-name part replaced.
    static QString withExtension(const QString &path, const QString &extension);

    // ---- State shared by the handlers ----
    ProgramFolder Paths;
    QString PictureFile;
    QString SourceFile, WorkZipFile, DestExeFile;
    QString BrowsedFolder;
    QString CommandToRun;
    int CompressionLevel = 9;
    int ConvertResult = 0;
    int StepDelay = 2000;
    QString Step1Text, Step1EndText, Step2Text, Step2EndText;
    bool WizardFinished = false;
    bool ViewerFromZipPage = false;

    TZipArchiver &ZA() { return *m_za; }
    TLanguage &Lg() { return *m_lg; }
    TNotebook *NoteBook1 = nullptr;
    TWizardFrame *Wzd = nullptr;
    Page currentPage() const;
    // True while the Finish sequence runs: moves, the end button and
    // closing wait for it.
    bool finishRunning() const { return m_finishRunning; }

    // ---- Widgets, by page ----
    QLabel *LbStartTop, *LbStart2, *LbStart3, *LbStart4;
    QCheckBox *CbShell;
    QLabel *LbZipTop, *LbZip2, *LbZip3;
    QLineEdit *EdZipFn;
    PathLabel *LbZipFN;
    QPushButton *BttnBrowse, *BtnView, *BtnTest;
    QCheckBox *CbWzdViewer;
    QLabel *LbTopName, *LbName1, *LbName2, *LbName3, *LbDateZip, *LbZipExt;
    QLineEdit *EdEXEFn;
    PathLabel *LbFileDest;
    QCheckBox *CbKeepZip, *CBDatePrefix;
    AutoCompleteComboBox *ComboPath;
    QPushButton *BrowPath, *Bttn3DDelComboPath;
    QLabel *LbExeTop, *LbExe1, *LbExe2, *LbExe3;
    AutoCompleteComboBox *ComboDefDirExtr;
    QPushButton *Bttn3dBrowseDefExtract;
    QCheckBox *CBForceOverWrite, *CbSuccesMsg, *CbAutoRun, *CbAskFiles;
    QLabel *LbMsgTop, *LbMsg1, *LbMsg2, *LbMsg3, *Image2;
    QLineEdit *EdTitre, *IconEdit, *IconIndexEdit, *EdMsgSfx, *edTypeboiteInt;
    QSpinBox *IconIndexUD;
    QPushButton *BrowseIco, *BtnMsg;
    QCheckBox *CbSFXMsg, *CbOkEsc, *CbYesNo;
    QLabel *LbRunTop, *LbRun1, *LbRun2, *LbRun3, *LbRun4, *LbRun5, *LbRun6, *LbRun7;
    QCheckBox *CbRunAFile;
    QLineEdit *EDCmdLn;
    QPushButton *BrowseRunFile;
    QLabel *LbView1, *LbSelectedFn, *Lb3dAdd, *Lb3dDel;
    QTableView *StringGrid1;
    ContentsModel *GridModel;
    QString StatusText;
    QWidget *PanelAddDel, *PanelRunFile;
    QPushButton *Btn3dADD, *Btn3dDEL;
    QLabel *LbExeZipTop, *LbExeZip1, *LbExeZip2;
    QLineEdit *EdExeZipFn;
    PathLabel *LbFileExe;
    QPushButton *BtnBrowseExe, *BtnExeZip;
    QLabel *LbEndTop, *LbEnd2;
    ProgressLabel *DRLabel1, *DRLabel2, *DRLabel3, *DRLabel4;
    QCheckBox *CbTest;
    QLabel *Image1;
    TitleBand *MC1;
    QMenu *PopupMenu1, *MnuLang, *FormatDate, *PopMnuGif;
    QAction *MnuFrench, *MnuEnglish, *MnuDeutsch, *mnuItalian, *mnuSpanish, *MnuCustom, *CustomEnd;
    QAction *Path, *JJMM, *MMJJ, *FormTop, *AffichageHint, *LoadGif, *Animate, *Color;

    // ---- Handlers (named after their widget and event) ----
    void FormCreate(const QStringList &arguments);
    void FormClose();
    void LoadGlobalSet();
    void SaveGlobalSet();
    void WzdPageChanging(TWizDirection direction, int &showPage);
    void WzdPageChange();
    void WzdEndClick();
    void WzdHelpClick();
    void DoWhenWzdFinished();
    void UpdateTop();
    void EdZipFnChange();
    void CbKeepZipClick();
    void CBDatePrefixClick();
    void BttnBrowseClick();
    void BtnBrowseExeClick();
    void EdExeZipFnChange();
    void BtnExeZipClick();
    void BrowPathClick();
    void Bttn3dBrowseDefExtractClick();
    void Bttn3DDelComboPathClick();
    void EDCmdLnChange();
    void CbShellClick();
    // The contents page.
    void BtnViewClick();
    void BtnTestClick();
    void UpdateGrid();
    void FillContentsGrid();
    void StringGrid1ClickSort(int column);
    void StringGrid1DblClick(const QModelIndex &index);
    void Test();
    void AddClick();
    void ZipAdd(const QString &fileSpec);
    void Delete();
    // The command line, drops, keys, menus and help.
    void GestionParametres(const QStringList &arguments);
    void dropFiles(const QStringList &files);
    void FormKeyDown(int key);
    void FormTopClick();
    void AffichageHintClick();
    void LoadGifClick();
    void AnimateClick();
    void ColorClick();
    // The help page of the current language, and its topic for a page.
    QString helpFile() const;
    static int helpTopicOfPage(Page page);
    void showHelp(int topic);
    void ZipToExe();
    void GoForExe();
    void GoForZip();
    void CbSFXMsgClick();
    void CbOkEscClick();
    void CbYesNoClick();
    void BtnMsgClick();
    void BrowseIcoClick();
    void IconIndexChanged();
    void CbRunAFileClick();
    void BrowseRunFileClick();
    void FormatDateClick();
    void JJMMClick();
    void MMJJClick();
    // The picture the executable gets as its icon, as shown by Image2.
    const QImage &iconPicture() const { return m_iconPicture; }
    // Loads the icon at index of file into Image2; a file with no icon
    // there leaves the picture as it was.
    void LoadIconFromFile(const QString &file, int index);
    // Whether the folder boxes accept a typed character.
    static bool folderBoxAccepts(QChar c);
    // Puts the four progress labels back into their idle state.
    void resetProgressLabels();
    // The language chosen in the settings, and the one shown.
    void applyLanguage(const QString &name);
    // The file managers' entries for this folder, in the current language.
    void installMenuEntries();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    class LibraryProgress;
    void chooseHelpFile(const QString &languageName);
    // An open dialog whose filter the add command of the contents page reuses.
    QString openFileWith(const QString &filter, const QString &startFile);
    void buildWidgets();
    QWidget *buildStartPage();
    QWidget *buildZipPage();
    QWidget *buildNamePage();
    QWidget *buildExePage();
    QWidget *buildMsgPage();
    QWidget *buildRunFilePage();
    QWidget *buildViewPage();
    QWidget *buildExeZipPage();
    QWidget *buildEndPage();
    void buildMenus();
    void connectHandlers();
    void showPageDirectly(Page page);
    void showSidePicture();
    QString languageMessage(const QString &key) const;
    void openSideMenu(const QPoint &at);
    // The executable this run wrote and what it looked like right after
    // Finish: Back may only turn back that very file.
    struct WrittenFile {
        QString path;
        qint64 size = -1;
        QDateTime modified;
    } m_written;

    std::unique_ptr<Dialogs> m_ownDialogs;
    Dialogs *m_dialogs;
    std::unique_ptr<TZipArchiver> m_za;
    TLanguage *m_lg;
    std::unique_ptr<PrivateProfile> m_iniFile;
    QImage m_iconPicture;
    QMovie *m_movie = nullptr;
    bool m_finishRunning = false;
    bool m_dayFirst = true; // the date order; the menu's marks show it
    QString m_heading;      // of the contents grid
    QString m_lastFilter;   // of the last open dialog
    QString m_helpFile;     // in the program's folder
    const QEvent *m_keyEvent = nullptr; // the last key press seen, and where
    QPointer<QWidget> m_keyReceiver;
    bool m_closing = false;
};
