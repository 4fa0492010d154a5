// The main window driven as a user drives it: page moves, derived names,
// settings, the executable Finish writes, turning one back, and the
// message-and-icon page. Widgets are found by the names the language files
// use; every question is answered by a script, every engine message recorded.

#include "Fixtures.h"
#include "PrivateProfile.h"
#include "ProgramFolder.h"
#include "ProgressLabel.h"
#include "RegistryStore.h"
#include "ScriptedDialogs.h"
#include "TLanguage.h"
#include "TNotebook.h"
#include "TWzdForm.h"
#include "WizardTexts.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaProperty>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <deque>
#include <memory>

namespace {

QString withExtension(const QString &path, const QString &extension)
{
    const QFileInfo info(path);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + extension;
}

QByteArray bytesOf(const QString &path)
{
    return Fixtures::readFile(path);
}

// The names of a settings file's keys in one section, in file order.
QStringList keysInFileOrder(const QString &file, const QString &section)
{
    QStringList keys;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    bool inside = false;
    for (const QByteArray &raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inside = line.compare(QLatin1Char('[') + section + QLatin1Char(']'), Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inside && line.contains(QLatin1Char('=')))
            keys << line.left(line.indexOf(QLatin1Char('=')));
    }
    return keys;
}

QStringList sectionsInFileOrder(const QString &file)
{
    QStringList sections;
    QFile f(file);
    if (f.open(QIODevice::ReadOnly | QIODevice::Text))
        for (const QByteArray &raw : f.readAll().split('\n'))
            if (raw.trimmed().startsWith('['))
                sections << QString::fromUtf8(raw.trimmed());
    return sections;
}

using Page = TWzdForm::Page;

} // namespace

Q_DECLARE_METATYPE(SFXOpts)

class TestWzdForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pageMoves_data();
    void pageMoves();
    void derivedNames_data();
    void derivedNames();
    void dateOrderMenu();

    void firstStart();
    void settingsWrittenAtClose();
    void temporaryFolderSetting();
    void temporaryFolderAcrossLanguages();
    void commandFromSettings_data();
    void commandFromSettings();
    void stepDelayFromSettings_data();
    void stepDelayFromSettings();
    void datePrefixAfterStart();

    void optionsInWrittenExecutable_data();
    void optionsInWrittenExecutable();
    void secondFinishWithoutCommand();
    void existingExecutable_data();
    void existingExecutable();
    void startsTheNewExecutable();
    void failedCopy_data();
    void failedCopy();
    void entriesTheStubCannotExtract_data();
    void entriesTheStubCannotExtract();
    void endButtonBeforeLastPage_data();
    void endButtonBeforeLastPage();
    void backFromEndUndoes_data();
    void backFromEndUndoes();
    void backFromEndSparesOtherExecutables_data();
    void backFromEndSparesOtherExecutables();
    void executableToArchive_data();
    void executableToArchive();

    void buttonSetPair_data();
    void buttonSetPair();
    void buttonSetFromSettings_data();
    void buttonSetFromSettings();
    void iconIndexWraps();

    void translationPaths_data();
    void translationPaths();

private:
    // A form over the test's program folder; settings == nullptr: no
    // settings file at all.
    void start(const char *settings = "");
    QString english(const QString &key) const { return m_form->Lg().ReadMessage(key); }
    template <typename T>
    T *widget(const char *name) const
    {
        T *w = m_form->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QPushButton *wizardButton(const char *name) const { return widget<QPushButton>(name); }
    void pressNext() { wizardButton("NextBtn")->click(); }
    void pressBack() { wizardButton("BackBtn")->click(); }
    void pressEnd() { wizardButton("AbortBtn")->click(); }
    // From paStart with Next presses over valid pages.
    void walkTo(Page page);
    Page page() const { return m_form->currentPage(); }
    void finish();
    // An executable made from plain.zip by the engine alone.
    void makeExecutable(const QString &exe);
    QString expand(const QString &said) const;

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_program, m_work, m_dest, m_archive, m_config;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TWzdForm> m_form;
};

void TestWzdForm::initTestCase()
{
    QVERIFY2(QFileInfo::exists(Fixtures::path(QStringLiteral("plain.zip"))), "run through ctest: fixtures are missing");
    QVERIFY(QFileInfo::exists(QStringLiteral(MANTOLE_BIN_DIR "/SfxStub.bin")));
}

void TestWzdForm::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    m_program = m_root->filePath(QStringLiteral("program/"));
    m_work = m_root->filePath(QStringLiteral("work/"));
    m_dest = m_root->filePath(QStringLiteral("dest/"));
    m_config = m_root->filePath(QStringLiteral("config"));
    for (const QString &folder : {m_program, m_work, m_dest, m_config})
        QVERIFY(QDir().mkpath(folder));
    // The registry store lands in the test's own config folder.
    qputenv("XDG_CONFIG_HOME", m_config.toLocal8Bit());
    const QDir bin(QStringLiteral(MANTOLE_BIN_DIR));
    for (const QString &name : bin.entryList({QStringLiteral("*.lgn"), QStringLiteral("SfxStub.bin"),
                                              QStringLiteral("icones.dll"), QStringLiteral("lib*.so")},
                                             QDir::Files))
        QVERIFY(QFile::copy(bin.filePath(name), m_program + name));
    m_archive = m_work + QStringLiteral("photos.zip");
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("plain.zip")), m_archive));
    m_dialogs = std::make_unique<ScriptedDialogs>();
}

void TestWzdForm::cleanup()
{
    m_form.reset();
    m_dialogs.reset();
    m_root.reset();
}

void TestWzdForm::start(const char *settings)
{
    if (settings) {
        // English texts, no pauses in Finish, the destination folder chosen.
        const QString ini = QStringLiteral("[general]\nlang=English\n[HistoryCfgDir]\nn0=%1\nlast=%1\n"
                                           "[wzd]\nwait12=0\n%2")
                                .arg(m_dest, QString::fromUtf8(settings));
        QVERIFY(Fixtures::write(m_program + QStringLiteral("MANTOLE.INI"), ini.toUtf8()));
    }
    const ProgramFolder folder = ProgramFolder::forFolder(m_program, m_config, m_root->filePath(QStringLiteral("cache")));
    m_form = std::make_unique<TWzdForm>(folder, m_dialogs.get());
    m_form->show();
}

void TestWzdForm::walkTo(Page target)
{
    widget<QLineEdit>("EdZipFn")->setText(m_archive);
    for (int guard = 0; page() != target && guard < 9; ++guard) {
        if (page() == TWzdForm::paRunFile && target != TWzdForm::paEnd)
            break;
        pressNext();
    }
    QCOMPARE(page(), target);
    QVERIFY2(m_dialogs->said.isEmpty(), qPrintable(m_dialogs->said.join('\n')));
}

void TestWzdForm::finish()
{
    if (page() != TWzdForm::paEnd)
        walkTo(TWzdForm::paEnd);
    pressEnd();
    QVERIFY(m_form->WizardFinished);
}

void TestWzdForm::makeExecutable(const QString &exe)
{
    const QString zip = withExtension(exe, QStringLiteral(".zip"));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("plain.zip")), zip));
    TZipArchiver za;
    za.SFXPath = QStringLiteral(MANTOLE_BIN_DIR "/SfxStub.bin");
    za.setZipFileName(zip);
    QCOMPARE(za.WriteSFX(), 0);
    QVERIFY(QFileInfo::exists(exe));
    QVERIFY(!QFileInfo::exists(zip));
}

// "question: ${new}Msg_AskCreateDir": the key at the end becomes its text.
QString TestWzdForm::expand(const QString &said) const
{
    QString s = said;
    s.replace(QStringLiteral("${new}"), m_work + QStringLiteral("new/deep"));
    for (const QString &key : MessageKeys())
        if (s.endsWith(key))
            return s.left(s.size() - key.size()) + english(key);
    return s;
}

// ---- Page moves ----

void TestWzdForm::pageMoves_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("next");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<int>("to");
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QString>("captionKey"); // empty: the caption stays

    const QList<bool> none;
    const auto row = [](const char *name, Page from, const char *setup, bool next, QList<bool> answers, Page to,
                        QStringList said, const char *caption) {
        QTest::newRow(name) << int(from) << QString::fromLatin1(setup) << next << answers << int(to) << said
                            << QString::fromLatin1(caption);
    };
    using F = TWzdForm;
    row("start next", F::paStart, "", true, none, F::paZip, {}, "Cap_paZip");
    row("zip next", F::paZip, "", true, none, F::paName, {}, "Cap_paName");
    row("zip next, no archive", F::paZip, "no archive", true, none, F::paZip, {"error: Msg_DatasErr"}, "Cap_paZip");
    row("zip next, archive missing", F::paZip, "archive missing", true, none, F::paZip, {"error: Msg_DatasErr"},
        "Cap_paZip");
    row("zip next, folder named", F::paZip, "folder as archive", true, none, F::paZip, {"error: Msg_DatasErr"},
        "Cap_paZip");
    row("zip back", F::paZip, "", false, none, F::paStart, {}, "Cap_paStart");
    row("name next", F::paName, "", true, none, F::paExe, {}, "Cap_paExe");
    row("name next, folder missing", F::paName, "folder missing", true, none, F::paName,
        {"error: Msg_NameOrPathErr"}, "Cap_paName");
    row("name next, name empty", F::paName, "name empty", true, none, F::paName, {"error: Msg_NameOrPathErr"},
        "Cap_paName");
    row("name next, browsed folder missing, yes", F::paName, "browsed missing", true, {true}, F::paExe,
        {"question: ${new}Msg_AskCreateDir"}, "Cap_paExe");
    row("name next, browsed folder missing, no", F::paName, "browsed missing", true, {false}, F::paExe,
        {"question: ${new}Msg_AskCreateDir"}, "Cap_paExe");
    row("name back", F::paName, "", false, none, F::paZip, {}, "Cap_paZip");
    row("exe next", F::paExe, "", true, none, F::paMsg, {}, "Cap_paMsg");
    row("exe back", F::paExe, "", false, none, F::paName, {}, "Cap_paName");
    row("msg next", F::paMsg, "", true, none, F::paRunFile, {}, "Cap_paRunAfile");
    row("msg back", F::paMsg, "", false, none, F::paExe, {}, "Cap_paExe");
    row("run next, no command wanted", F::paRunFile, "", true, none, F::paEnd, {}, "Cap_paFinish");
    row("run next, command typed", F::paRunFile, "run: setup.exe", true, none, F::paEnd, {}, "Cap_paFinish");
    row("run next, command empty, yes", F::paRunFile, "run:", true, {true}, F::paView,
        {"question: Msg_TypeALine"}, "sFileStatus");
    row("run next, command empty, no", F::paRunFile, "run:", true, {false}, F::paRunFile,
        {"question: Msg_TypeALine"}, "Cap_paRunAfile");
    row("run back", F::paRunFile, "", false, none, F::paMsg, {}, "Cap_paMsg");
    row("view next, opened on the archive page", F::paZip, "view from zip", true, none, F::paZip, {}, "Cap_paZip");
    row("view next, opened on the command page", F::paRunFile, "view from run", true, none, F::paRunFile, {},
        "Cap_paRunAfile");
    row("view back, opened on the archive page", F::paZip, "view from zip", false, none, F::paZip, {}, "Cap_paZip");
    row("view back, opened on the command page", F::paRunFile, "view from run", false, none, F::paZip, {},
        "Cap_paZip");
    row("exe-to-zip next", F::paZip, "exe page", true, none, F::paZip, {}, "Cap_paZip");
    row("exe-to-zip back", F::paZip, "exe page", false, none, F::paZip, {}, "Cap_paZip");
    row("end next", F::paEnd, "", true, none, F::paEnd, {}, "Cap_paFinish");
    row("end back", F::paEnd, "", false, none, F::paRunFile, {}, "Cap_paRunAfile");
}

void TestWzdForm::pageMoves()
{
    QFETCH(int, from);
    QFETCH(QString, setup);
    QFETCH(bool, next);
    QFETCH(QList<bool>, answers);
    QFETCH(int, to);
    QFETCH(QStringList, said);
    QFETCH(QString, captionKey);

    start();
    walkTo(Page(from));
    auto *edZip = widget<QLineEdit>("EdZipFn");
    if (setup == QLatin1String("no archive"))
        edZip->clear();
    else if (setup == QLatin1String("archive missing"))
        edZip->setText(m_work + QStringLiteral("gone.zip"));
    else if (setup == QLatin1String("folder as archive"))
        edZip->setText(m_work);
    else if (setup == QLatin1String("folder missing"))
        widget<QComboBox>("ComboPath")->setEditText(m_work + QStringLiteral("nowhere"));
    else if (setup == QLatin1String("name empty"))
        widget<QLineEdit>("EdEXEFn")->clear();
    else if (setup == QLatin1String("browsed missing")) {
        m_dialogs->folders.push_back(m_work + QStringLiteral("new/deep"));
        widget<QPushButton>("BrowPath")->click();
    } else if (setup.startsWith(QLatin1String("run:"))) {
        widget<QCheckBox>("CbRunAFile")->setChecked(true);
        widget<QLineEdit>("EDCmdLn")->setText(setup.mid(4).trimmed());
    } else if (setup == QLatin1String("view from zip")) {
        widget<QPushButton>("BtnView")->click();
    } else if (setup == QLatin1String("view from run")) {
        widget<QCheckBox>("CbRunAFile")->setChecked(true);
        widget<QPushButton>("BrowseRunFile")->click();
    } else if (setup == QLatin1String("exe page")) {
        m_dialogs->files.push_back(m_work + QStringLiteral("other.exe"));
        widget<QPushButton>("BttnBrowse")->click();
        QCOMPARE(page(), TWzdForm::paExeZip);
    }
    if (setup.startsWith(QLatin1String("view")))
        QCOMPARE(page(), TWzdForm::paView);
    // A page shown directly keeps the caption of the page before it.
    const QString captionBefore = m_form->windowTitle();
    static const char *const captions[] = {"Cap_paStart", "Cap_paZip", "Cap_paName", "Cap_paExe",
                                           "Cap_paMsg",   "Cap_paRunAfile", "", "", "Cap_paFinish"};
    QCOMPARE(captionBefore, english(QLatin1String(captions[from])));
    m_dialogs->said.clear();
    m_dialogs->answers.assign(answers.begin(), answers.end());

    next ? pressNext() : pressBack();

    QCOMPARE(int(page()), to);
    QStringList expected;
    for (const QString &s : said)
        expected << expand(s);
    QCOMPARE(m_dialogs->said, expected);
    QCOMPARE(m_form->windowTitle(), english(captionKey));
    if (setup == QLatin1String("browsed missing"))
        QCOMPARE(QFileInfo(m_work + QStringLiteral("new/deep")).isDir(), answers.first());
}

// ---- Derived names ----

void TestWzdForm::derivedNames_data()
{
    QTest::addColumn<QString>("archiveName");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("prefixFormat"); // of today's date
    QTest::addColumn<bool>("besideArchive");
    QTest::addColumn<QString>("exeName");

    QTest::newRow("kept, day first") << "photos.zip" << QStringList() << "ddMM" << false << "photos.exe";
    QTest::newRow("kept, month first") << "photos.zip" << QStringList{"month first"} << "MMdd" << false
                                       << "photos.exe";
    QTest::newRow("kept, no prefix") << "photos.zip" << QStringList{"no prefix"} << "" << false << "photos.exe";
    QTest::newRow("kept, dotted name") << "my.photos.zip" << QStringList() << "ddMM" << false << "my.exe";
    QTest::newRow("converted in place") << "photos.zip" << QStringList{"no keep"} << "" << true << "photos.exe";
    QTest::newRow("converted in place, month first")
        << "photos.zip" << QStringList{"month first", "no keep"} << "" << true << "photos.exe";
    // The engine writes the archive's own name with ".exe" beside it.
    QTest::newRow("converted in place, dotted name")
        << "my.photos.zip" << QStringList{"no keep"} << "" << true << "my.photos.exe";
    QTest::newRow("kept again") << "photos.zip" << QStringList{"no keep", "keep"} << "ddMM" << false
                                << "photos.exe";
    QTest::newRow("kept again, month first")
        << "photos.zip" << QStringList{"no keep", "month first", "keep"} << "MMdd" << false << "photos.exe";
}

void TestWzdForm::derivedNames()
{
    QFETCH(QString, archiveName);
    QFETCH(QStringList, actions);
    QFETCH(QString, prefixFormat);
    QFETCH(bool, besideArchive);
    QFETCH(QString, exeName);

    if (archiveName != QFileInfo(m_archive).fileName()) {
        QVERIFY(QFile::rename(m_archive, m_work + archiveName));
        m_archive = m_work + archiveName;
    }
    start();
    walkTo(TWzdForm::paName);
    for (const QString &action : actions) {
        if (action == QLatin1String("month first"))
            m_form->MMJJ->trigger();
        else if (action == QLatin1String("no prefix"))
            widget<QCheckBox>("CBDatePrefix")->click();
        else
            widget<QCheckBox>("CbKeepZip")->setChecked(action == QLatin1String("keep"));
    }
    const QString prefix = prefixFormat.isEmpty() ? QString() : QDate::currentDate().toString(prefixFormat);
    const QString folder = besideArchive ? m_work : m_dest;
    QCOMPARE(widget<QLabel>("LbDateZip")->text(), prefix);
    const QString stem = archiveName.left(archiveName.indexOf(QLatin1Char('.')));
    QCOMPARE(widget<QLineEdit>("EdEXEFn")->text(), stem);
    QCOMPARE(widget<QLineEdit>("EdEXEFn")->isEnabled(), !besideArchive);
    QCOMPARE(widget<QCheckBox>("CBDatePrefix")->isEnabled(), !besideArchive);
    QCOMPARE(m_form->DestExeFile, folder + prefix + exeName);
    QCOMPARE(m_form->SourceFile, m_archive);
    QCOMPARE(m_form->WorkZipFile, m_program + QStringLiteral("tmp/") + prefix + stem + QStringLiteral(".zip"));

    // The name typed in shows in the destination at once.
    if (!besideArchive) {
        widget<QLineEdit>("EdEXEFn")->setText(QStringLiteral("album"));
        QCOMPARE(m_form->DestExeFile, folder + prefix + QStringLiteral("album.exe"));
    }
}

void TestWzdForm::dateOrderMenu()
{
    start();
    widget<QLineEdit>("EdZipFn")->setText(m_archive);
    QVERIFY(m_form->JJMM->isChecked());
    emit m_form->FormatDate->aboutToShow();
    const QDate today = QDate::currentDate();
    QCOMPARE(m_form->JJMM->text(),
             english(QStringLiteral("Mnu_JMArchive1")) + today.toString(QStringLiteral("ddMM"))
                 + english(QStringLiteral("Mnu_JMArchive2")));
    QCOMPARE(m_form->MMJJ->text(),
             english(QStringLiteral("Mnu_JMArchive3")) + today.toString(QStringLiteral("MMdd"))
                 + english(QStringLiteral("Mnu_JMArchive2")));

    // The checked item switches the order too, and says so in the settings.
    m_form->JJMM->trigger();
    QVERIFY(!m_form->JJMM->isChecked());
    QVERIFY(m_form->MMJJ->isChecked());
    QCOMPARE(widget<QLabel>("LbDateZip")->text(), today.toString(QStringLiteral("MMdd")));
    const PrivateProfile ini(m_program + QStringLiteral("MANTOLE.INI"));
    QCOMPARE(ini.readString(QStringLiteral("wzd"), QStringLiteral("dm"), QString()), QStringLiteral("0"));

    widget<QCheckBox>("CBDatePrefix")->setChecked(false);
    m_form->MMJJ->trigger();
    QVERIFY(m_form->JJMM->isChecked());
    QCOMPARE(widget<QLabel>("LbDateZip")->text(), QString());
    QCOMPARE(ini.readString(QStringLiteral("wzd"), QStringLiteral("dm"), QString()), QStringLiteral("1"));
    QCOMPARE(m_form->DestExeFile, m_dest + QStringLiteral("photos.exe"));
}

// ---- Settings ----

void TestWzdForm::firstStart()
{
    start(nullptr);
    QVERIFY(QFileInfo(m_program + QStringLiteral("tmp")).isDir());
    QVERIFY(!widget<QCheckBox>("CbSuccesMsg")->isChecked());
    QVERIFY(m_form->Animate->isChecked());
    QVERIFY(m_form->JJMM->isChecked());
    QVERIFY(!m_form->MMJJ->isChecked());
    QVERIFY(m_form->AffichageHint->isChecked());
    QVERIFY(widget<QCheckBox>("CBDatePrefix")->isChecked());
    QCOMPARE(m_form->StepDelay, 2000);
    QCOMPARE(m_form->CompressionLevel, 9);
    QCOMPARE(widget<QLineEdit>("edTypeboiteInt")->text(), QStringLiteral("2"));
    QCOMPARE(widget<QLineEdit>("IconEdit")->text(), m_program + QStringLiteral("icones.dll"));
    // French is the language when nothing is set.
    const QString file = m_program + QStringLiteral("french.lgn");
    const PrivateProfile texts(file);
    const auto message = [&texts](const char *key) {
        return texts.readString(QStringLiteral("Messages"), QLatin1String(key), QString());
    };
    QVERIFY(!message("Cap_3dHot").isEmpty());
    QCOMPARE(m_form->windowTitle(), message("Cap_paStart"));
    QCOMPARE(widget<ProgressLabel>("DRLabel1")->text(), message("Cap_3dHot"));
    QCOMPARE(widget<ProgressLabel>("DRLabel2")->text(), message("Cap_3dWind"));
    QCOMPARE(widget<ProgressLabel>("DRLabel3")->text(), message("Cap_3dCreate"));
    QCOMPARE(widget<ProgressLabel>("DRLabel4")->text(), message("Cap_3dQuit"));
}

void TestWzdForm::settingsWrittenAtClose()
{
    start(nullptr);
    widget<QCheckBox>("CBDatePrefix")->setChecked(false);
    m_form->MMJJ->trigger();
    widget<QComboBox>("ComboPath")->setEditText(m_dest + QStringLiteral("sub"));
    widget<QComboBox>("ComboDefDirExtr")->setEditText(QStringLiteral("D:\\Programs"));
    widget<QCheckBox>("CbRunAFile")->setChecked(true);
    widget<QLineEdit>("EDCmdLn")->setText(QStringLiteral("Setup.exe /s"));
    widget<QCheckBox>("CbSFXMsg")->setChecked(true);
    widget<QCheckBox>("CbYesNo")->click();
    widget<QLineEdit>("EdMsgSfx")->setText(QStringLiteral("Go on?"));
    widget<QLineEdit>("EdTitre")->setText(QStringLiteral("My setup"));
    widget<QSpinBox>("IconIndexUD")->setValue(3);
    widget<QCheckBox>("CBForceOverWrite")->setChecked(true);
    widget<QCheckBox>("CbAutoRun")->setChecked(true);
    m_form->close();
    QVERIFY(m_dialogs->said.isEmpty());

    const QString file = m_program + QStringLiteral("MANTOLE.INI");
    // "dm" was written by the menu at once; the rest at close, in this order.
    QCOMPARE(sectionsInFileOrder(file), (QStringList{"[wzd]", "[HistoryCfgDir]", "[HistoryExtDir]"}));
    QCOMPARE(keysInFileOrder(file, QStringLiteral("wzd")),
             (QStringList{"dm", "date", "spath", "runfile", "scmd", "msgsfx", "smsg", "iboxmsg", "stitre",
                          "iconame", "icoIndex", "sow", "endmsg", "autorun", "chglst", "path", "gifanime"}));
    const PrivateProfile ini(file);
    const auto value = [&ini](const char *key) {
        return ini.readString(QStringLiteral("wzd"), QLatin1String(key), QStringLiteral("(none)"));
    };
    QCOMPARE(value("date"), QStringLiteral("0"));
    QCOMPARE(value("spath"), QStringLiteral("D:\\Programs"));
    QCOMPARE(value("runfile"), QStringLiteral("1"));
    QCOMPARE(value("scmd"), QStringLiteral("Setup.exe /s"));
    QCOMPARE(value("msgsfx"), QStringLiteral("1"));
    QCOMPARE(value("smsg"), QStringLiteral("Go on?"));
    QCOMPARE(value("iboxmsg"), QStringLiteral("3"));
    QCOMPARE(value("stitre"), QStringLiteral("My setup"));
    QCOMPARE(value("icoIndex"), QStringLiteral("3"));
    QCOMPARE(value("sow"), QStringLiteral("1"));
    QCOMPARE(value("endmsg"), QStringLiteral("0"));
    QCOMPARE(value("autorun"), QStringLiteral("1"));
    QCOMPARE(ini.readString(QStringLiteral("HistoryCfgDir"), QStringLiteral("last"), QString()),
             m_dest + QStringLiteral("sub"));

    RegistryStore registry;
    QVERIFY(registry.openKey(QStringLiteral("SOLVREIK\\Prog"), false));
    QCOMPARE(registry.readString(QStringLiteral("date")), std::optional<QString>(QStringLiteral("0")));
    QCOMPARE(registry.readString(QStringLiteral("jjmm")), std::optional<QString>(QStringLiteral("0")));
    QCOMPARE(registry.readString(QStringLiteral("last")), std::optional<QString>(m_dest + QStringLiteral("sub/")));
}

void TestWzdForm::temporaryFolderSetting()
{
    start("spath=><\n");
    const QString temporary = english(QStringLiteral("sTempFolder"));
    // Start-up ends with the folder history, which has the last word; the
    // setting itself shows when read.
    m_form->LoadGlobalSet();
    QCOMPARE(widget<QComboBox>("ComboDefDirExtr")->currentText(), temporary);
    m_form->close();
    const PrivateProfile ini(m_program + QStringLiteral("MANTOLE.INI"));
    QCOMPARE(ini.readString(QStringLiteral("wzd"), QStringLiteral("spath"), QString()), QStringLiteral("><"));
}

void TestWzdForm::temporaryFolderAcrossLanguages()
{
    start();
    const QString english = this->english(QStringLiteral("sTempFolder"));
    widget<QComboBox>("ComboDefDirExtr")->setEditText(english);
    m_form->MnuFrench->trigger();
    const QString french = m_form->Lg().ReadMessage(QStringLiteral("sTempFolder"));
    QVERIFY(french != english);
    QCOMPARE(widget<QComboBox>("ComboDefDirExtr")->currentText(), french);
    finish();
    TZipArchiver written;
    written.setZipFileName(m_form->DestExeFile);
    QVERIFY(written.ReadSFXOptions());
    QCOMPARE(written.SFXDefaultDir, QStringLiteral("><"));
    m_form->close();
    const PrivateProfile ini(m_program + QStringLiteral("MANTOLE.INI"));
    QCOMPARE(ini.readString(QStringLiteral("wzd"), QStringLiteral("spath"), QString()), QStringLiteral("><"));
}

void TestWzdForm::commandFromSettings_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("folder marker") << "abc><run.exe -q" << "RUN.EXE -Q";
    QTest::newRow("marker first") << "><Setup.exe" << "SETUP.EXE";
    QTest::newRow("two markers") << "a><b><c" << "B><C";
    QTest::newRow("no marker") << "Setup.exe /s" << "Setup.exe /s";
    // Upper case may be longer than the text: the cut is made on the text.
    QTest::newRow("sharp s before the marker") << QStringLiteral("straße><run.exe") << "RUN.EXE";
}

void TestWzdForm::commandFromSettings()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    start((QStringLiteral("scmd=") + stored + QLatin1Char('\n')).toUtf8().constData());
    QCOMPARE(widget<QLineEdit>("EDCmdLn")->text(), shown);
    QCOMPARE(m_form->CommandToRun, shown);
}

void TestWzdForm::stepDelayFromSettings_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("delay");
    QTest::newRow("hexadecimal") << "0x1F4" << 500;
    QTest::newRow("decimal") << "750" << 750;
    QTest::newRow("not a number") << "soon" << 2000;
}

void TestWzdForm::stepDelayFromSettings()
{
    QFETCH(QString, stored);
    QFETCH(int, delay);
    // wait12 comes once: the first occurrence would win.
    const QString ini = QStringLiteral("[general]\nlang=English\n[wzd]\nwait12=") + stored + QLatin1Char('\n');
    QVERIFY(Fixtures::write(m_program + QStringLiteral("MANTOLE.INI"), ini.toUtf8()));
    start(nullptr);
    QCOMPARE(m_form->StepDelay, delay);
}

void TestWzdForm::datePrefixAfterStart()
{
    start("date=0\n");
    QVERIFY(widget<QCheckBox>("CBDatePrefix")->isChecked());
    QCOMPARE(widget<QLabel>("LbDateZip")->text(), QDate::currentDate().toString(QStringLiteral("ddMM")));
}

// ---- The executable Finish writes ----

void TestWzdForm::optionsInWrittenExecutable_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("message");
    QTest::addColumn<bool>("yesNo");
    QTest::addColumn<bool>("success");
    QTest::addColumn<bool>("askFiles");
    QTest::addColumn<bool>("autoRun");
    QTest::addColumn<bool>("runFile");
    QTest::addColumn<bool>("force");
    QTest::addColumn<QString>("extractTo");
    QTest::addColumn<SFXOpts>("options");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("sfxMessage");
    QTest::addColumn<QString>("sfxFolder");
    QTest::addColumn<QString>("sfxCommand");

    QTest::newRow("forced, OK/Cancel, nothing asked")
        << "Setup" << true << false << false << false << false << false << true << "C:\\Apps"
        << SFXOpts{SFXAskFiles, SFXHideOverWriteBox, SFXNoSuccessMsg} << int(OvrAlways)
        << QString(QChar(1)) + "Continue?" << "C:\\Apps" << "";
    QTest::newRow("Yes/No, command, auto-run, files chosen")
        << "" << true << true << true << true << true << true << false << "C:\\Apps"
        << SFXOpts{SFXAskCmdLine, SFXAutoRun} << int(OvrConfirm) << QString(QChar(2)) + "Continue?" << "C:\\Apps"
        << "setup.exe /s";
    QTest::newRow("no message, temporary folder")
        << "Title" << false << true << false << true << false << false << false << "(temporary folder)"
        << SFXOpts{SFXNoSuccessMsg} << int(OvrConfirm) << "" << "><" << "";
    QTest::newRow("temporary folder inside more text")
        << "Title" << false << false << true << false << false << false << false << "in (temporary folder) now"
        << SFXOpts{SFXAskFiles} << int(OvrConfirm) << "" << "><" << "";
}

void TestWzdForm::optionsInWrittenExecutable()
{
    QFETCH(QString, title);
    QFETCH(bool, message);
    QFETCH(bool, yesNo);
    QFETCH(bool, success);
    QFETCH(bool, askFiles);
    QFETCH(bool, autoRun);
    QFETCH(bool, runFile);
    QFETCH(bool, force);
    QFETCH(QString, extractTo);
    QFETCH(SFXOpts, options);
    QFETCH(int, mode);
    QFETCH(QString, sfxMessage);
    QFETCH(QString, sfxFolder);
    QFETCH(QString, sfxCommand);

    start();
    QCOMPARE(english(QStringLiteral("sTempFolder")), QStringLiteral("(temporary folder)"));
    widget<QComboBox>("ComboDefDirExtr")->setEditText(extractTo);
    widget<QCheckBox>("CBForceOverWrite")->setChecked(force);
    widget<QCheckBox>("CbSuccesMsg")->setChecked(success);
    widget<QCheckBox>("CbAutoRun")->setChecked(autoRun);
    widget<QCheckBox>("CbAskFiles")->setChecked(askFiles);
    widget<QLineEdit>("EdTitre")->setText(title);
    widget<QCheckBox>("CbSFXMsg")->setChecked(true);
    widget<QLineEdit>("EdMsgSfx")->setText(QStringLiteral("Continue?"));
    if (yesNo)
        widget<QCheckBox>("CbYesNo")->click();
    widget<QCheckBox>("CbSFXMsg")->setChecked(message);
    widget<QCheckBox>("CbRunAFile")->setChecked(true);
    widget<QLineEdit>("EDCmdLn")->setText(QStringLiteral("setup.exe /s"));
    widget<QCheckBox>("CbRunAFile")->setChecked(runFile);
    finish();

    QCOMPARE(m_dialogs->host.shown, QStringList());
    QCOMPARE(widget<ProgressLabel>("DRLabel3")->text(), english(QStringLiteral("Cap_3dCreateEnd")));
    const QString exe = m_dest + QDate::currentDate().toString(QStringLiteral("ddMM")) + QStringLiteral("photos.exe");
    QVERIFY(QFileInfo::exists(exe));
    TZipArchiver written;
    written.setZipFileName(exe);
    QVERIFY(written.ReadSFXOptions());
    QCOMPARE(written.SFXOptions.bits(), options.bits());
    QCOMPARE(int(written.SFXOverWriteMode), mode);
    QCOMPARE(written.SFXCaption, title);
    QCOMPARE(written.SFXMessage, sfxMessage);
    QCOMPARE(written.SFXDefaultDir, sfxFolder);
    QCOMPARE(written.SFXCommandLine, sfxCommand);
    QCOMPARE(written.Count(), [] {
        TZipArchiver original;
        original.setZipFileName(Fixtures::path(QStringLiteral("plain.zip")));
        return original.Count();
    }());
}

void TestWzdForm::secondFinishWithoutCommand()
{
    start();
    widget<QCheckBox>("CbRunAFile")->setChecked(true);
    widget<QLineEdit>("EDCmdLn")->setText(QStringLiteral("setup.exe"));
    finish();
    const QString exe = m_form->DestExeFile;
    {
        TZipArchiver first;
        first.setZipFileName(exe);
        QVERIFY(first.ReadSFXOptions());
        QCOMPARE(first.SFXCommandLine, QStringLiteral("setup.exe"));
        QVERIFY(first.SFXOptions.contains(SFXAskCmdLine));
    }
    pressBack();
    QCOMPARE(page(), TWzdForm::paRunFile);
    widget<QCheckBox>("CbRunAFile")->setChecked(false);
    pressNext();
    QCOMPARE(page(), TWzdForm::paEnd);
    m_dialogs->answers = {true}; // replace the first executable
    pressEnd();
    QCOMPARE(m_dialogs->said, QStringList{QStringLiteral("confirm: [ ") + exe + QStringLiteral(" ]")
                                          + english(QStringLiteral("Msg_ZiporExeExist"))});
    TZipArchiver second;
    second.setZipFileName(exe);
    QVERIFY(second.ReadSFXOptions());
    QCOMPARE(second.SFXCommandLine, QString());
    QVERIFY(!second.SFXOptions.contains(SFXAskCmdLine));
}

void TestWzdForm::existingExecutable_data()
{
    QTest::addColumn<QString>("archiveName");
    QTest::addColumn<bool>("keep");
    QTest::addColumn<bool>("replace");
    QTest::newRow("copy kept, replaced") << "photos.zip" << true << true;
    QTest::newRow("copy kept, declined") << "photos.zip" << true << false;
    QTest::newRow("in place, dotted name, replaced") << "my.photos.zip" << false << true;
    QTest::newRow("in place, dotted name, declined") << "my.photos.zip" << false << false;
}

void TestWzdForm::existingExecutable()
{
    QFETCH(QString, archiveName);
    QFETCH(bool, keep);
    QFETCH(bool, replace);
    if (archiveName != QFileInfo(m_archive).fileName()) {
        QVERIFY(QFile::rename(m_archive, m_work + archiveName));
        m_archive = m_work + archiveName;
    }
    start();
    walkTo(TWzdForm::paName);
    widget<QCheckBox>("CbKeepZip")->setChecked(keep);
    const QString exe = keep ? m_dest + QDate::currentDate().toString(QStringLiteral("ddMM")) + QStringLiteral("photos.exe")
                             : withExtension(m_archive, QStringLiteral(".exe"));
    QVERIFY(Fixtures::write(exe, "not ours"));
    walkTo(TWzdForm::paEnd);
    m_dialogs->answers = {replace};
    pressEnd();
    QCOMPARE(m_dialogs->said, QStringList{QStringLiteral("confirm: [ ") + exe + QStringLiteral(" ]")
                                          + english(QStringLiteral("Msg_ZiporExeExist"))});
    QCOMPARE(bytesOf(exe) == "not ours", !replace);
    QCOMPARE(QFileInfo::exists(m_archive), keep || !replace);
    // Declining writes nothing, and the last page must not say otherwise.
    QCOMPARE(widget<ProgressLabel>("DRLabel3")->text(),
             english(replace ? QStringLiteral("Cap_3dCreateEnd") : QStringLiteral("Cap_3dCreateErr")));
    pressBack();
    QCOMPARE(bytesOf(exe) == "not ours", !replace);
    QVERIFY(QFileInfo::exists(m_archive));
}

void TestWzdForm::startsTheNewExecutable()
{
    QVERIFY(QFile::rename(m_archive, m_work + QStringLiteral("my.photos.zip")));
    m_archive = m_work + QStringLiteral("my.photos.zip");
    start();
    walkTo(TWzdForm::paName);
    widget<QCheckBox>("CbKeepZip")->setChecked(false);
    widget<QCheckBox>("CbTest")->setChecked(true);
    finish();
    const QString exe = m_work + QStringLiteral("my.photos.exe");
    QVERIFY(QFileInfo::exists(exe));
    QCOMPARE(m_dialogs->said, QStringList{QStringLiteral("start: ") + exe});
}

void TestWzdForm::failedCopy_data()
{
    QTest::addColumn<QString>("gone"); // what disappears before Finish
    QTest::addColumn<QString>("said"); // the message's start
    QTest::newRow("archive") << "archive" << "Le fichier spécifié en entrée n'existe pas : ";
    QTest::newRow("destination folder") << "destination" << "Erreur d'écriture sur le fichier de sortie : ";
}

void TestWzdForm::failedCopy()
{
    QFETCH(QString, gone);
    QFETCH(QString, said);
    start();
    walkTo(TWzdForm::paEnd);
    const QString name = gone == QLatin1String("archive") ? m_archive : m_form->DestExeFile;
    if (gone == QLatin1String("archive"))
        QVERIFY(QFile::remove(m_archive));
    else
        QVERIFY(QDir(m_dest).removeRecursively());
    pressEnd();
    QVERIFY(m_form->WizardFinished);
    QCOMPARE(widget<ProgressLabel>("DRLabel3")->text(), english(QStringLiteral("Cap_3dCreateErr")));
    QCOMPARE(m_dialogs->host.shown, QStringList{said + name});
    QVERIFY(!QFileInfo::exists(m_form->DestExeFile));
    // Back has nothing of this run to undo.
    pressBack();
    QCOMPARE(page(), TWzdForm::paRunFile);
}

void TestWzdForm::entriesTheStubCannotExtract_data()
{
    QTest::addColumn<bool>("keep");
    QTest::newRow("copy kept") << true;
    QTest::newRow("in place") << false;
}

// One bzip2 entry among deflated ones: the error names it and only it, and
// nothing is written or taken away.
void TestWzdForm::entriesTheStubCannotExtract()
{
    QFETCH(bool, keep);
    QVERIFY(QFile::remove(m_archive));
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("one-bzip2.zip")), m_archive));
    start();
    walkTo(TWzdForm::paName);
    widget<QCheckBox>("CbKeepZip")->setChecked(keep);
    walkTo(TWzdForm::paEnd);
    const auto listing = [this] {
        return QDir(m_work).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
            + QDir(m_dest).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    const QStringList before = listing();
    pressEnd();
    QVERIFY(m_form->WizardFinished);
    QCOMPARE(m_dialogs->said, QStringList{QStringLiteral("error: ") + english(QStringLiteral("Msg_StubCannotExtract"))
                                          + QStringLiteral("\ndocs\\notes.txt (bzip2 compression)")});
    QVERIFY(m_form->ConvertResult != 0);
    QCOMPARE(widget<ProgressLabel>("DRLabel3")->text(), english(QStringLiteral("Cap_3dCreateErr")));
    QCOMPARE(listing(), before);
    QCOMPARE(bytesOf(m_archive), Fixtures::read(QStringLiteral("one-bzip2.zip")));
    pressBack();
    QCOMPARE(page(), TWzdForm::paRunFile);
}

// ---- Back from the last page ----

void TestWzdForm::endButtonBeforeLastPage_data()
{
    QTest::addColumn<int>("at");
    QTest::addColumn<bool>("quit");
    QTest::newRow("start page, stay") << int(TWzdForm::paStart) << false;
    QTest::newRow("start page, quit") << int(TWzdForm::paStart) << true;
    QTest::newRow("command page, quit") << int(TWzdForm::paRunFile) << true;
}

void TestWzdForm::endButtonBeforeLastPage()
{
    QFETCH(int, at);
    QFETCH(bool, quit);
    start(nullptr);
    if (at != TWzdForm::paStart)
        walkTo(Page(at));
    m_dialogs->said.clear();
    m_dialogs->answers = {quit};
    pressEnd();
    QCOMPARE(m_dialogs->said, QStringList{QStringLiteral("two buttons: ") + english(QStringLiteral("Msg_QuitWizard"))});
    QCOMPARE(m_form->isVisible(), !quit);
    QCOMPARE(int(page()), at);
    QVERIFY(!m_form->WizardFinished);
    // Closing writes the settings, from whatever page.
    const PrivateProfile ini(m_program + QStringLiteral("MANTOLE.INI"));
    QCOMPARE(ini.readString(QStringLiteral("wzd"), QStringLiteral("date"), QString()),
             quit ? QStringLiteral("1") : QString());
}

void TestWzdForm::backFromEndUndoes_data()
{
    QTest::addColumn<bool>("keep");
    QTest::newRow("copy kept") << true;
    QTest::newRow("converted in place") << false;
}

void TestWzdForm::backFromEndUndoes()
{
    QFETCH(bool, keep);
    start();
    const QByteArray original = bytesOf(m_archive);
    walkTo(TWzdForm::paName);
    widget<QCheckBox>("CbKeepZip")->setChecked(keep);
    const QString prefix = keep ? QDate::currentDate().toString(QStringLiteral("ddMM")) : QString();
    const QString tmp = m_program + QStringLiteral("tmp/");
    finish();
    QCOMPARE(m_dialogs->host.shown, QStringList());
    QCOMPARE(widget<ProgressLabel>("DRLabel3")->state(), ProgressLabel::State::Done);
    QCOMPARE(wizardButton("AbortBtn")->text(), english(QStringLiteral("Wzd_Quit")));
    if (keep) {
        QCOMPARE(QDir(tmp).entryList(QDir::Files), QStringList{prefix + QStringLiteral("photos.exe")});
        QVERIFY(QFileInfo::exists(m_dest + prefix + QStringLiteral("photos.exe")));
        QCOMPARE(bytesOf(m_archive), original);
    } else {
        QVERIFY(!QFileInfo::exists(m_archive));
        QVERIFY(QFileInfo::exists(m_work + QStringLiteral("photos.exe")));
    }

    pressBack();

    QCOMPARE(page(), TWzdForm::paRunFile);
    QVERIFY(!m_form->WizardFinished);
    for (const char *name : {"DRLabel1", "DRLabel2", "DRLabel3", "DRLabel4"})
        QCOMPARE(widget<ProgressLabel>(name)->state(), ProgressLabel::State::Idle);
    QCOMPARE(widget<ProgressLabel>("DRLabel3")->text(), english(QStringLiteral("Cap_3dCreate")));
    QCOMPARE(wizardButton("AbortBtn")->text(), english(QStringLiteral("Wzd_Quit")));
    QCOMPARE(bytesOf(m_archive), original);
    if (keep)
        QCOMPARE(QDir(tmp).entryList(QDir::Files), QStringList());
    else
        QVERIFY(!QFileInfo::exists(m_work + QStringLiteral("photos.exe")));
    QCOMPARE(m_dialogs->host.shown, QStringList());

    // The run can go on: Finish again, then close.
    pressNext();
    QCOMPARE(page(), TWzdForm::paEnd);
    m_dialogs->answers = {true};
    pressEnd();
    QCOMPARE(widget<ProgressLabel>("DRLabel3")->text(), english(QStringLiteral("Cap_3dCreateEnd")));
    pressEnd();
    QVERIFY(!m_form->isVisible());
    if (keep) // the working copies go at close
        QCOMPARE(QDir(tmp).entryList(QDir::Files), QStringList());
}

void TestWzdForm::backFromEndSparesOtherExecutables_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("replaced by another file") << "replaced";
    QTest::newRow("grown") << "grown";
    QTest::newRow("touched") << "touched";
    QTest::newRow("written by an earlier Finish") << "earlier";
}

void TestWzdForm::backFromEndSparesOtherExecutables()
{
    QFETCH(QString, change);
    start();
    QString exe;
    if (change == QLatin1String("earlier")) {
        // A Finish with a copy kept, undone; then converting in place is
        // chosen, and the last page left again without a Finish.
        finish();
        exe = m_form->DestExeFile;
        pressBack();
        QVERIFY(QFileInfo::exists(exe));
        widget<QCheckBox>("CbKeepZip")->setChecked(false);
        pressNext();
        QCOMPARE(page(), TWzdForm::paEnd);
    } else {
        walkTo(TWzdForm::paName);
        widget<QCheckBox>("CbKeepZip")->setChecked(false);
        finish();
        exe = m_work + QStringLiteral("photos.exe");
        QVERIFY(QFileInfo::exists(exe));
        QFile file(exe);
        if (change == QLatin1String("replaced")) {
            const QByteArray other = QByteArray(bytesOf(exe).size(), 'x');
            QVERIFY(QFile::remove(exe));
            QVERIFY(Fixtures::write(exe, other));
        } else if (change == QLatin1String("grown")) {
            QVERIFY(file.open(QIODevice::Append));
            file.write("more");
            file.close();
        } else {
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QFileInfo(exe).lastModified().addSecs(3600), QFileDevice::FileModificationTime));
            file.close();
        }
    }
    const QByteArray before = bytesOf(exe);
    pressBack();
    QCOMPARE(page(), TWzdForm::paRunFile);
    QCOMPARE(bytesOf(exe), before);
    QVERIFY(!QFileInfo::exists(withExtension(exe, QStringLiteral(".zip"))));
}

// ---- An executable turned back into its archive ----

void TestWzdForm::executableToArchive_data()
{
    QTest::addColumn<QString>("besideBefore"); // what the .zip beside holds first; empty: none
    QTest::addColumn<bool>("convert");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<bool>("converted");
    QTest::addColumn<bool>("fieldSet"); // Next puts the archive into the archive field
    QTest::addColumn<bool>("selfExtracting");

    QTest::newRow("nothing beside") << "" << true << QList<bool>() << true << true << true;
    QTest::newRow("archive beside, replaced") << "old" << true << QList<bool>{true} << true << true << true;
    QTest::newRow("archive beside, kept") << "old" << true << QList<bool>{false} << false << true << true;
    QTest::newRow("not converted") << "" << false << QList<bool>() << false << false << true;
    QTest::newRow("not a self-extracting file") << "" << true << QList<bool>() << false << false << false;
}

void TestWzdForm::executableToArchive()
{
    QFETCH(QString, besideBefore);
    QFETCH(bool, convert);
    QFETCH(QList<bool>, answers);
    QFETCH(bool, converted);
    QFETCH(bool, fieldSet);
    QFETCH(bool, selfExtracting);

    const QString exe = m_work + QStringLiteral("setup.exe");
    const QString zip = m_work + QStringLiteral("setup.zip");
    if (selfExtracting)
        makeExecutable(exe);
    else
        QVERIFY(Fixtures::write(exe, QByteArray("MZ") + QByteArray(4096, '\0')));
    const QByteArray exeBytes = bytesOf(exe);
    if (!besideBefore.isEmpty())
        QVERIFY(Fixtures::write(zip, besideBefore.toUtf8()));
    start();
    pressNext();
    m_dialogs->files.push_back(exe);
    widget<QPushButton>("BttnBrowse")->click();
    QCOMPARE(page(), TWzdForm::paExeZip);
    QCOMPARE(widget<QLineEdit>("EdExeZipFn")->text(), exe);
    QVERIFY(widget<QPushButton>("BtnExeZip")->isEnabled());
    m_dialogs->said.clear();
    m_dialogs->answers.assign(answers.begin(), answers.end());
    if (convert)
        widget<QPushButton>("BtnExeZip")->click();

    QStringList expected;
    if (convert && !besideBefore.isEmpty())
        expected << QStringLiteral("confirm: [ ") + zip + QStringLiteral(" ]") + english(QStringLiteral("Msg_ZiporExeExist"));
    if (converted)
        expected << QStringLiteral("information: ") + english(QStringLiteral("Msg_ExeToZIp"));
    QCOMPARE(m_dialogs->said, expected);
    QCOMPARE(m_dialogs->host.shown.isEmpty(), selfExtracting); // the engine says why it failed
    if (converted)
        QVERIFY(!QFileInfo::exists(exe));
    else
        QCOMPARE(bytesOf(exe), exeBytes);
    if (converted)
        QCOMPARE(bytesOf(zip), Fixtures::read(QStringLiteral("plain.zip")));
    else if (!besideBefore.isEmpty())
        QCOMPARE(bytesOf(zip), besideBefore.toUtf8());
    else
        QVERIFY(!QFileInfo::exists(zip));
    QCOMPARE(widget<QPushButton>("BtnExeZip")->isEnabled(), !convert);

    pressNext();
    QCOMPARE(page(), TWzdForm::paZip);
    QCOMPARE(widget<QLineEdit>("EdZipFn")->text(), fieldSet ? zip : QString());
}

// ---- The message-and-icon page ----

void TestWzdForm::buttonSetPair_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<bool>("okCancel");
    QTest::addColumn<QString>("code");

    QTest::newRow("as started") << QStringList() << true << "2";
    QTest::newRow("Yes/No clicked") << QStringList{"CbYesNo"} << false << "3";
    QTest::newRow("then OK/Cancel") << QStringList{"CbYesNo", "CbOkEsc"} << true << "2";
    QTest::newRow("checked OK/Cancel cleared") << QStringList{"CbOkEsc"} << false << "3";
    QTest::newRow("checked Yes/No cleared") << QStringList{"CbYesNo", "CbYesNo"} << true << "2";
}

void TestWzdForm::buttonSetPair()
{
    QFETCH(QStringList, clicks);
    QFETCH(bool, okCancel);
    QFETCH(QString, code);
    start();
    auto *okEsc = widget<QCheckBox>("CbOkEsc");
    QVERIFY(!okEsc->isEnabled()); // no message, no buttons to choose
    widget<QCheckBox>("CbSFXMsg")->click();
    QVERIFY(okEsc->isEnabled());
    for (const QString &name : clicks)
        widget<QCheckBox>(qPrintable(name))->click();
    QCOMPARE(okEsc->isChecked(), okCancel);
    QCOMPARE(widget<QCheckBox>("CbYesNo")->isChecked(), !okCancel);
    QCOMPARE(widget<QLineEdit>("edTypeboiteInt")->text(), code);
    widget<QLineEdit>("EdMsgSfx")->setText(QStringLiteral("Ready?"));
    widget<QPushButton>("BtnMsg")->click();
    QCOMPARE(m_dialogs->said, QStringList{(okCancel ? QStringLiteral("preview OK/Cancel: ")
                                                    : QStringLiteral("preview Yes/No: "))
                                          + QStringLiteral("Ready?")});
    m_form->close();
    const PrivateProfile ini(m_program + QStringLiteral("MANTOLE.INI"));
    QCOMPARE(ini.readString(QStringLiteral("wzd"), QStringLiteral("iboxmsg"), QString()), code);
}

void TestWzdForm::buttonSetFromSettings_data()
{
    QTest::addColumn<QString>("stored"); // empty: no key
    QTest::addColumn<bool>("okCancel");
    QTest::newRow("none stored") << "" << true;
    QTest::newRow("OK/Cancel") << "iboxmsg=2\n" << true;
    QTest::newRow("Yes/No") << "iboxmsg=3\n" << false;
}

void TestWzdForm::buttonSetFromSettings()
{
    QFETCH(QString, stored);
    QFETCH(bool, okCancel);
    start((QStringLiteral("msgsfx=1\nsmsg=Sure?\n") + stored).toUtf8().constData());
    QCOMPARE(widget<QCheckBox>("CbOkEsc")->isChecked(), okCancel);
    QCOMPARE(widget<QCheckBox>("CbYesNo")->isChecked(), !okCancel);
    QCOMPARE(widget<QLineEdit>("edTypeboiteInt")->text(), okCancel ? QStringLiteral("2") : QStringLiteral("3"));
    finish();
    TZipArchiver written;
    written.setZipFileName(m_form->DestExeFile);
    QVERIFY(written.ReadSFXOptions());
    QCOMPARE(written.SFXMessage, QString(QChar(okCancel ? 1 : 2)) + QStringLiteral("Sure?"));
}

void TestWzdForm::iconIndexWraps()
{
    start();
    auto *index = widget<QSpinBox>("IconIndexUD");
    auto *edit = widget<QLineEdit>("IconIndexEdit");
    QCOMPARE(edit->text(), QStringLiteral("0"));
    QTest::keyClick(index, Qt::Key_Down);
    QCOMPARE(edit->text(), QStringLiteral("32767"));
    QTest::keyClick(index, Qt::Key_Up);
    QCOMPARE(edit->text(), QStringLiteral("0"));
}

// ---- Every translated text lands on the window ----

void TestWzdForm::translationPaths_data()
{
    QTest::addColumn<QString>("language");
    for (const char *language : {"French", "English", "Deutsch", "italiano", "espanol"})
        QTest::newRow(language) << QString::fromLatin1(language);
}

void TestWzdForm::translationPaths()
{
    QFETCH(QString, language);
    const QString ini = QStringLiteral("[general]\nlang=%1\n").arg(language);
    QVERIFY(Fixtures::write(m_program + QStringLiteral("MANTOLE.INI"), ini.toUtf8()));
    start(nullptr);
    const PrivateProfile file(m_program + language.toLower() + QStringLiteral(".lgn"));
    int marker = 0;
    for (const QString &path : WizardPropertyPaths()) {
        if (path.startsWith(QLatin1String("About.")) || path.startsWith(QLatin1String("//")))
            continue;
        const QString text = file.readString(QStringLiteral("Translations"), path, QString());
        QVERIFY2(!text.isEmpty(), qPrintable(path));
        const QStringList parts = path.split(QLatin1Char('.'));
        QCOMPARE(parts.size(), 3);
        QVERIFY(parts[0].compare(m_form->objectName(), Qt::CaseInsensitive) == 0);
        QObject *component = nullptr;
        for (QObject *child : m_form->findChildren<QObject *>())
            if (child->objectName().compare(parts[1], Qt::CaseInsensitive) == 0) {
                component = child;
                break;
            }
        QVERIFY2(component, qPrintable(path + QStringLiteral(": no such widget")));

        // A text of our own goes through the same path; one property takes it.
        const QString probe = QStringLiteral("probe %1").arg(++marker);
        m_form->Lg().ApplyTranslation(path, probe);
        const QMetaObject *meta = component->metaObject();
        QList<QMetaProperty> taken;
        for (int i = 0; i < meta->propertyCount(); ++i)
            if (meta->property(i).read(component).toString() == probe)
                taken << meta->property(i);
        QVERIFY2(!taken.isEmpty(), qPrintable(path + QStringLiteral(": no property takes the text")));
        m_form->Lg().ApplyTranslation(path, text);
        QVERIFY2(std::any_of(taken.begin(), taken.end(),
                             [&](const QMetaProperty &p) { return p.read(component).toString() == text; }),
                 qPrintable(path));
    }
}

QTEST_MAIN(TestWzdForm)
#include "tst_wzdform.moc"
