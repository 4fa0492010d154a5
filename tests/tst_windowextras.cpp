// Around the wizard, through the main window: the command line, dropped
// files, the Escape and F1 keys, the About box, the language commands and
// the switches of the context menus that are written at once.

#include "Fixtures.h"
#include "FormSandbox.h"
#include "PrivateProfile.h"
#include "RegistryStore.h"
#include "ScriptedDialogs.h"
#include "TLanguage.h"
#include "TNotebook.h"
#include "TWzdForm.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

using Page = TWzdForm::Page;

QStringList zipinfoNames(const QString &path)
{
    QProcess zipinfo;
    zipinfo.start(QStringLiteral("zipinfo"), {QStringLiteral("-1"), path});
    if (!zipinfo.waitForFinished() || zipinfo.exitCode() != 0)
        return {QStringLiteral("zipinfo failed")};
    QStringList names = QString::fromUtf8(zipinfo.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    names.sort();
    return names;
}

} // namespace

class TestWindowExtras : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void commandLine_data();
    void commandLine();
    void drops_data();
    void drops();
    void folderDroppedOnView();

    void escapeAsksToQuit_data();
    void escapeAsksToQuit();
    void escapeAfterFinishCloses();
    void helpKey_data();
    void helpKey();
    void keyPressedAgain_data();
    void keyPressedAgain();
    void aboutBox_data();
    void aboutBox();

    void languageCommands_data();
    void languageCommands();
    void onlyPresentLanguagesEnabled_data();
    void onlyPresentLanguagesEnabled();
    void languageSettingInCapitals();
    void switchesWrittenAtOnce_data();
    void switchesWrittenAtOnce();
    void titleColour_data();
    void titleColour();
    void unwritableSettings_data();
    void unwritableSettings();

private:
    void start(const QStringList &arguments = {}, const QString &language = QStringLiteral("English"));
    void showPage(Page page) { m_form->NoteBook1->SetPageIndex(page); }
    QString work(const char *name) const { return m_box->work + QLatin1String(name); }
    void drop(const QStringList &files);
    // As a keyboard does: to the focused widget, or the window when none is.
    void pressKey(Qt::Key key)
    {
        QWidget *focused = QApplication::focusWidget();
        QTest::keyClick(focused && focused->window() == m_form.get() ? focused : m_form.get(), key);
    }
    QAction *action(const QString &name) const
    {
        auto *a = m_form->findChild<QAction *>(name);
        if (!a)
            qFatal("no action %s", qPrintable(name));
        return a;
    }
    template <typename T>
    T *widget(const char *name) const
    {
        T *w = m_form->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QString setting(const char *section, const char *key) const
    {
        return PrivateProfile(m_box->settingsFile()).readString(QLatin1String(section), QLatin1String(key), QStringLiteral("<none>"));
    }
    QUrl helpPage(const char *file, int topic) const
    {
        QUrl url = QUrl::fromLocalFile(m_box->program + QLatin1String(file));
        url.setFragment(QString::number(topic));
        return url;
    }

    std::unique_ptr<FormSandbox> m_box;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TWzdForm> m_form;
};

void TestWindowExtras::initTestCase()
{
    QVERIFY2(QFileInfo::exists(Fixtures::path(QStringLiteral("plain.zip"))), "run through ctest: fixtures are missing");
}

void TestWindowExtras::init()
{
    m_box = std::make_unique<FormSandbox>();
    QVERIFY(m_box->make());
    m_dialogs = std::make_unique<ScriptedDialogs>();
}

void TestWindowExtras::cleanup()
{
    m_form.reset();
    m_dialogs.reset();
    m_box.reset();
}

void TestWindowExtras::start(const QStringList &arguments, const QString &language)
{
    if (!QFileInfo::exists(m_box->settingsFile()))
        QVERIFY(m_box->writeSettings(QString(), language));
    m_form = m_box->start(m_dialogs.get(), arguments);
}

void TestWindowExtras::drop(const QStringList &files)
{
    QList<QUrl> urls;
    for (const QString &file : files)
        urls << QUrl::fromLocalFile(file);
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_form.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_form.get(), &dropped);
}

// ---- Ways in ----

void TestWindowExtras::commandLine_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("archiveFilled");
    QTest::addColumn<bool>("executableFilled");
    QTest::newRow("archive") << "b.zip" << int(TWzdForm::paStart) << true << false;
    QTest::newRow("executable in capitals") << "setup.EXE" << int(TWzdForm::paExeZip) << false << true;
    QTest::newRow("cut extension .Z") << "b.Z" << int(TWzdForm::paStart) << true << false;
    QTest::newRow("lone dot takes both") << "both." << int(TWzdForm::paExeZip) << true << true;
    QTest::newRow("no extension") << "readme" << int(TWzdForm::paStart) << false << false;
    QTest::newRow("text file") << "notes.txt" << int(TWzdForm::paStart) << false << false;
}

void TestWindowExtras::commandLine()
{
    QFETCH(QString, name);
    QFETCH(int, page);
    QFETCH(bool, archiveFilled);
    QFETCH(bool, executableFilled);
    const QString file = m_box->work + name;
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("plain.zip")), file));
    start({file});

    QCOMPARE(int(m_form->currentPage()), page);
    QCOMPARE(widget<QLineEdit>("EdZipFn")->text(), archiveFilled ? file : QString());
    QCOMPARE(widget<QLineEdit>("EdExeZipFn")->text(), executableFilled ? file : QString());
    if (archiveFilled) // the executable's name derives from the archive's
        QCOMPARE(widget<QLineEdit>("EdEXEFn")->text(), QFileInfo(file).completeBaseName());
    // The file is there, so the executable may be turned back at once.
    QCOMPARE(widget<QPushButton>("BtnExeZip")->isEnabled(), executableFilled);
}

void TestWindowExtras::drops_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("pageAfter");
    QTest::addColumn<QString>("archiveField");
    QTest::addColumn<QString>("executableField");
    const QString longFolder = QStringLiteral("/%1/%2/").arg(QString(200, QLatin1Char('d')), QString(200, QLatin1Char('e')));
    const int zip = TWzdForm::paZip, exeZip = TWzdForm::paExeZip;
    QTest::newRow("executable on paZip") << zip << QStringList{"/x/setup.exe"} << exeZip << "" << "/x/setup.exe";
    QTest::newRow("archive on paZip") << zip << QStringList{"/y/photos.zip"} << zip << "/y/photos.zip" << "";
    QTest::newRow("later archive wins") << zip << QStringList{"/y/a.zip", "/y/b.ZIP"} << zip << "/y/b.ZIP" << "";
    QTest::newRow("long name taken whole")
        << zip << QStringList{longFolder + "photos.zip"} << zip << QString(longFolder + "photos.zip") << "";
    QTest::newRow("executable on paExeZip") << exeZip << QStringList{"/x/b.exe"} << exeZip << "" << "/x/b.exe";
    QTest::newRow("archive on paExeZip") << exeZip << QStringList{"/y/photos.zip"} << exeZip << "" << "";
    QTest::newRow("archive on paMsg") << int(TWzdForm::paMsg) << QStringList{"/y/photos.zip"} << int(TWzdForm::paMsg)
                                      << "" << "";
    QTest::newRow("text file on paZip") << zip << QStringList{"/y/notes.txt"} << zip << "" << "";
}

void TestWindowExtras::drops()
{
    QFETCH(int, page);
    QFETCH(QStringList, files);
    QFETCH(int, pageAfter);
    QFETCH(QString, archiveField);
    QFETCH(QString, executableField);
    start();
    showPage(Page(page));
    drop(files);
    QCOMPARE(int(m_form->currentPage()), pageAfter);
    QCOMPARE(widget<QLineEdit>("EdZipFn")->text(), archiveField);
    QCOMPARE(widget<QLineEdit>("EdExeZipFn")->text(), executableField);
    QVERIFY2(m_dialogs->said.isEmpty(), qPrintable(m_dialogs->said.join('\n')));
}

void TestWindowExtras::folderDroppedOnView()
{
    // Every file of the folder comes, those without an extension too.
    const QString archive = work("photos.zip");
    QVERIFY(QFile::copy(Fixtures::path(QStringLiteral("plain.zip")), archive));
    QVERIFY(QDir().mkpath(work("more")));
    for (const char *name : {"more/one.txt", "more/two.dat", "more/README"})
        QVERIFY(Fixtures::write(work(name), name));
    const QStringList before = zipinfoNames(archive);
    start();
    widget<QLineEdit>("EdZipFn")->setText(archive);
    widget<QPushButton>("NextBtn")->click();
    widget<QPushButton>("BtnView")->click();
    QCOMPARE(m_form->currentPage(), TWzdForm::paView);
    m_dialogs->answers = {true};
    drop({work("more")});

    QCOMPARE(m_dialogs->said, QStringList{QStringLiteral("confirm: %1[ %2/*.* ]")
                                              .arg(m_form->Lg().ReadMessage(QStringLiteral("Msg_AddThisFile")), work("more"))});
    QStringList expected = before + QStringList{"README", "one.txt", "two.dat"};
    expected.sort();
    QCOMPARE(zipinfoNames(archive), expected);
    // The grid shows them too (folders with backslashes, the status row last).
    const QAbstractItemModel *grid = widget<QTableView>("StringGrid1")->model();
    QStringList shown;
    for (int row = 0; row + 1 < grid->rowCount(); ++row)
        shown << grid->index(row, 0).data().toString().replace(QLatin1Char('\\'), QLatin1Char('/'));
    shown.sort();
    QCOMPARE(shown, expected);
}

// ---- Keys ----

void TestWindowExtras::escapeAsksToQuit_data()
{
    QTest::addColumn<QList<bool>>("answers");
    QTest::newRow("Yes closes") << QList<bool>{true};
    QTest::newRow("No stays") << QList<bool>{false};
}

void TestWindowExtras::escapeAsksToQuit()
{
    QFETCH(QList<bool>, answers);
    start();
    widget<QLineEdit>("EdZipFn")->setText(Fixtures::path(QStringLiteral("plain.zip")));
    widget<QPushButton>("NextBtn")->click();
    widget<QPushButton>("NextBtn")->click();
    QCOMPARE(m_form->currentPage(), TWzdForm::paName);
    const QString question = QStringLiteral("two buttons: ") + m_form->Lg().ReadMessage(QStringLiteral("Msg_QuitWizard"));
    for (bool answer : answers) {
        m_dialogs->answers = {answer};
        pressKey(Qt::Key_Escape);
    }
    QCOMPARE(m_dialogs->said, QStringList(answers.size(), question));
    QCOMPARE(m_form->isVisible(), !answers.last());
}

void TestWindowExtras::escapeAfterFinishCloses()
{
    start();
    widget<QLineEdit>("EdZipFn")->setText(Fixtures::path(QStringLiteral("plain.zip")));
    for (int guard = 0; m_form->currentPage() != TWzdForm::paEnd && guard < 9; ++guard)
        widget<QPushButton>("NextBtn")->click();
    QCOMPARE(m_form->currentPage(), TWzdForm::paEnd);
    widget<QPushButton>("AbortBtn")->click();
    QVERIFY(m_form->WizardFinished);
    m_dialogs->said.clear();
    pressKey(Qt::Key_Escape);
    QVERIFY(!m_form->isVisible());
    QVERIFY2(m_dialogs->said.isEmpty(), qPrintable(m_dialogs->said.join('\n')));
}

void TestWindowExtras::helpKey_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("topic");
    QTest::newRow("English, first page") << "English" << int(TWzdForm::paStart) << "velmorak_e.html" << 210;
    QTest::newRow("French, archive page") << "French" << int(TWzdForm::paZip) << "velmorak.html" << 220;
    QTest::newRow("German, contents page") << "Deutsch" << int(TWzdForm::paView) << "velmorak_d.html" << 270;
    QTest::newRow("Italian, last page") << "italiano" << int(TWzdForm::paEnd) << "velmorak_i.html" << 290;
    QTest::newRow("Spanish, message page") << "espanol" << int(TWzdForm::paMsg) << "velmorak_s.html" << 250;
}

void TestWindowExtras::helpKey()
{
    QFETCH(QString, language);
    QFETCH(int, page);
    QFETCH(QString, file);
    QFETCH(int, topic);
    start({}, language);
    showPage(Page(page));
    pressKey(Qt::Key_F1);
    QCOMPARE(m_dialogs->urls, QList<QUrl>{helpPage(qPrintable(file), topic)});
}

void TestWindowExtras::keyPressedAgain_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("F1") << int(Qt::Key_F1);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestWindowExtras::keyPressedAgain()
{
    // Each press is a new request: help opens again, the quit question
    // (answered No) is asked again.
    QFETCH(int, key);
    start();
    pressKey(Qt::Key(key));
    pressKey(Qt::Key(key));
    QStringList seen = m_dialogs->said;
    for (const QUrl &url : m_dialogs->urls)
        seen << url.toString();
    const QString once = key == Qt::Key_F1
        ? helpPage("velmorak_e.html", 210).toString()
        : QStringLiteral("two buttons: ") + m_form->Lg().ReadMessage(QStringLiteral("Msg_QuitWizard"));
    QCOMPARE(seen, QStringList({once, once}));
}

void TestWindowExtras::aboutBox_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("helpFile");
    QTest::newRow("English") << "English" << "velmorak_e.html";
    QTest::newRow("German") << "Deutsch" << "velmorak_d.html";
    QTest::newRow("Spanish") << "espanol" << "velmorak_s.html";
}

void TestWindowExtras::aboutBox()
{
    QFETCH(QString, language);
    QFETCH(QString, helpFile);
    start({}, language);
    const PrivateProfile file(m_form->Lg().FN);
    QString title, close, translator, hint, version, lineOfAbout;
    m_dialogs->onDialog = [&](QDialog &box) {
        title = box.windowTitle();
        close = box.findChild<QPushButton *>(QStringLiteral("OKButton"))->text();
        auto *credit = box.findChild<QLabel *>(QStringLiteral("LbWebTrans"));
        translator = credit->text();
        hint = credit->toolTip();
        version = box.findChild<QLabel *>(QStringLiteral("Label11"))->text();
        lineOfAbout = box.findChild<QLabel *>(QStringLiteral("LbAbout1"))->text();
        box.findChild<QPushButton *>(QStringLiteral("BttnHlp"))->click();
    };
    widget<QPushButton>("HelpBtn")->click();

    QCOMPARE(m_dialogs->said, QStringList{QStringLiteral("dialog: About")});
    QCOMPARE(close, file.readString(QStringLiteral("Buttons"), QStringLiteral("sClose"), QString()));
    QCOMPARE(translator, file.readString(QStringLiteral("Thanks"), QStringLiteral("sNameInBlue"), QString()));
    QCOMPARE(hint, file.readString(QStringLiteral("Thanks"), QStringLiteral("sHint"), QString()));
    QCOMPARE(title, file.readString(QStringLiteral("Translations"), QStringLiteral("About.caption"), QString()));
    QCOMPARE(lineOfAbout, file.readString(QStringLiteral("Translations"), QStringLiteral("About.LbAbout1.caption"), QString()));
    QVERIFY(!close.isEmpty() && !translator.isEmpty() && !title.isEmpty() && !lineOfAbout.isEmpty());
    QCOMPARE(version, QStringLiteral("Version : 1.4.0.0"));
    QCOMPARE(m_dialogs->urls, QList<QUrl>{helpPage(qPrintable(helpFile), 200)});
}

// ---- Languages ----

void TestWindowExtras::languageCommands_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("languageFile");
    QTest::addColumn<bool>("germanHelp");
    QTest::addColumn<QString>("helpFile");
    QTest::newRow("French") << "MnuFrench" << "French" << "french.lgn" << true << "velmorak.html";
    QTest::newRow("German") << "MnuDeutsch" << "Deutsch" << "deutsch.lgn" << true << "velmorak_d.html";
    QTest::newRow("German, its help missing") << "MnuDeutsch" << "Deutsch" << "deutsch.lgn" << false << "velmorak_e.html";
    QTest::newRow("Italian") << "mnuItalian" << "italiano" << "italiano.lgn" << true << "velmorak_i.html";
    QTest::newRow("Spanish") << "mnuSpanish" << "espanol" << "espanol.lgn" << true << "velmorak_s.html";
    QTest::newRow("custom") << "MnuCustom" << "custom" << "custom.lgn" << true << "velmorak_e.html";
}

void TestWindowExtras::languageCommands()
{
    QFETCH(QString, item);
    QFETCH(QString, name);
    QFETCH(QString, languageFile);
    QFETCH(bool, germanHelp);
    QFETCH(QString, helpFile);
    QVERIFY(QFile::copy(m_box->program + QStringLiteral("english.lgn"), m_box->program + QStringLiteral("custom.lgn")));
    if (!germanHelp)
        QVERIFY(QFile::remove(m_box->program + QStringLiteral("velmorak_d.html")));
    start();
    QAction *command = action(item);
    QVERIFY(command->isEnabled());
    command->trigger();

    QVERIFY2(m_dialogs->said.isEmpty(), qPrintable(m_dialogs->said.join('\n')));
    QCOMPARE(setting("general", "lang"), name);
    const PrivateProfile language(m_box->program + languageFile);
    QCOMPARE(widget<QLabel>("LbStartTop")->text(),
             language.readString(QStringLiteral("Translations"), QStringLiteral("WzdForm.LbStartTop.caption"), QString()));
    // The language's "reg" section, in the store under the test's config folder.
    RegistryStore store;
    QVERIFY(store.defaultFileName().startsWith(m_box->config));
    const QString key = language.readString(QStringLiteral("reg"), QStringLiteral("key"), QString());
    QVERIFY(store.openKey(key, false));
    QCOMPARE(store.readString(QStringLiteral("Language")),
             language.readString(QStringLiteral("reg"), QStringLiteral("Language"), QString()));
    pressKey(Qt::Key_F1);
    QCOMPARE(m_dialogs->urls, QList<QUrl>{helpPage(qPrintable(helpFile), 210)});
}

void TestWindowExtras::onlyPresentLanguagesEnabled_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::newRow("French and German only") << QStringList{"french.lgn", "deutsch.lgn"};
    QTest::newRow("all but custom")
        << QStringList{"french.lgn", "english.lgn", "deutsch.lgn", "italiano.lgn", "espanol.lgn"};
    QTest::newRow("Spanish and custom") << QStringList{"espanol.lgn", "custom.lgn"};
}

void TestWindowExtras::onlyPresentLanguagesEnabled()
{
    QFETCH(QStringList, present);
    QVERIFY(QFile::copy(m_box->program + QStringLiteral("english.lgn"), m_box->program + QStringLiteral("custom.lgn")));
    const std::pair<const char *, const char *> items[] = {{"MnuFrench", "french.lgn"},    {"MnuEnglish", "english.lgn"},
                                                           {"MnuDeutsch", "deutsch.lgn"},  {"mnuItalian", "italiano.lgn"},
                                                           {"mnuSpanish", "espanol.lgn"}, {"MnuCustom", "custom.lgn"}};
    for (const auto &[item, file] : items)
        if (!present.contains(QLatin1String(file)))
            QVERIFY(QFile::remove(m_box->program + QLatin1String(file)));
    start();
    for (const auto &[item, file] : items)
        QVERIFY2(action(QLatin1String(item))->isEnabled() == present.contains(QLatin1String(file)), item);
}

void TestWindowExtras::languageSettingInCapitals()
{
    start({}, QStringLiteral("ENGLISH"));
    QCOMPARE(m_form->Lg().FN, m_box->program + QStringLiteral("english.lgn"));
    const PrivateProfile english(m_form->Lg().FN);
    QCOMPARE(widget<QLabel>("LbStartTop")->text(),
             english.readString(QStringLiteral("Translations"), QStringLiteral("WzdForm.LbStartTop.caption"), QString()));
    pressKey(Qt::Key_F1);
    QCOMPARE(m_dialogs->urls, QList<QUrl>{helpPage("velmorak_e.html", 210)});
}

// ---- Switches written at once ----

void TestWindowExtras::switchesWrittenAtOnce_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("key");
    QTest::newRow("always on top") << "FormTop" << "ftop";
    QTest::newRow("tool tips") << "AffichageHint" << "vhint";
    QTest::newRow("animation") << "Animate" << "gifanime";
}

void TestWindowExtras::switchesWrittenAtOnce()
{
    QFETCH(QString, item);
    QFETCH(QString, key);
    start();
    QAction *a = action(item);
    const bool before = a->isChecked();
    a->trigger();
    const PrivateProfile settings(m_box->settingsFile());
    QCOMPARE(settings.readBool(QStringLiteral("wzd"), key, before), !before);
    a->trigger();
    QCOMPARE(settings.readBool(QStringLiteral("wzd"), key, !before), before);
    if (item == QLatin1String("FormTop"))
        QCOMPARE(m_form->windowFlags().testFlag(Qt::WindowStaysOnTopHint), before);
}

void TestWindowExtras::titleColour_data()
{
    QTest::addColumn<QColor>("chosen");
    QTest::addColumn<QString>("written");
    // Stored as Windows does: red in the low byte.
    QTest::newRow("chosen") << QColor(0x12, 0x34, 0x56) << QString::number(0x563412);
    QTest::newRow("cancelled") << QColor() << "<none>";
}

void TestWindowExtras::titleColour()
{
    QFETCH(QColor, chosen);
    QFETCH(QString, written);
    start();
    m_dialogs->colours = {chosen};
    action(QStringLiteral("Color"))->trigger();
    QCOMPARE(m_dialogs->said, QStringList{QStringLiteral("colour")});
    QCOMPARE(setting("wzd", "color"), written);
}

void TestWindowExtras::unwritableSettings_data()
{
    QTest::addColumn<QString>("item");
    QTest::newRow("language") << "MnuDeutsch";
    QTest::newRow("always on top") << "FormTop";
    QTest::newRow("tool tips") << "AffichageHint";
    QTest::newRow("animation") << "Animate";
}

void TestWindowExtras::unwritableSettings()
{
    // A folder where the settings file should be: nothing can write it.
    QFETCH(QString, item);
    QVERIFY(QDir().mkpath(m_box->settingsFile()));
    start();
    action(item)->trigger();
    QCOMPARE(m_dialogs->said, QStringList{QStringLiteral("error: Ne peut écrire dans %1").arg(m_box->settingsFile())});
}

QTEST_MAIN(TestWindowExtras)
#include "tst_windowextras.moc"
