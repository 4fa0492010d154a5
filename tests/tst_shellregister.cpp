// The check box that puts our handler into the file managers: the keys and
// values of the classes-root store, the "zip2exe" setting, registration
// again at start-up from a moved program folder, and the entries it installs
// and removes.

#include "FormSandbox.h"
#include "PrivateProfile.h"
#include "RegistryStore.h"
#include "ScriptedDialogs.h"
#include "ShellRegister.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QTest>

namespace {

const QString kClass = QStringLiteral("CLSID\\{F169D961-B907-11D0-B8FA-A85800C10125}");
const QString kHandlers[] = {QStringLiteral("Folder\\shellex\\ContextMenuHandlers\\{F169D961-B907-11D0-B8FA-A85800C10125}"),
                             QStringLiteral("*\\shellex\\ContextMenuHandlers\\{F169D961-B907-11D0-B8FA-A85800C10125}")};

std::optional<QString> value(const QString &key, const QString &name)
{
    RegistryStore store;
    if (!store.openKey(key, false))
        return std::nullopt;
    return store.readString(name);
}

} // namespace

class TestShellRegister : public QObject {
    Q_OBJECT

private slots:
    void init();
    void registration_data();
    void registration();
    void failedRegistrationIsSaid();
    void checkInstallsTheMenuEntries();
    void entriesFollowTheLanguage_data();
    void entriesFollowTheLanguage();

private:
    std::unique_ptr<FormSandbox> m_box;
    ScriptedDialogs m_dialogs;
};

// A private home per test; the sandbox points XDG_CONFIG_HOME (the store)
// at its own folder.
void TestShellRegister::init()
{
    m_box = std::make_unique<FormSandbox>();
    QVERIFY(m_box->make());
    const QString home = m_box->config + QStringLiteral("/../home");
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home + QStringLiteral("/cache")).toLocal8Bit());
    qputenv("XDG_STATE_HOME", (home + QStringLiteral("/state")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (home + QStringLiteral("/runtime")).toLocal8Bit());
    m_dialogs.said.clear();
}

void TestShellRegister::registration_data()
{
    QTest::addColumn<QString>("setting");      // zip2exe in MANTOLE.INI at start
    QTest::addColumn<bool>("staleRegistration"); // written before by a program elsewhere
    QTest::addColumn<QString>("clicks");       // what the user does to CbShell
    QTest::addColumn<bool>("registered");
    QTest::addColumn<QString>("zip2exe");      // in MANTOLE.INI afterwards

    QTest::newRow("checking registers this folder") << "0" << false << "check" << true << "1";
    QTest::newRow("unchecking removes the handler keys") << "0" << false << "check uncheck" << false << "0";
    QTest::newRow("a stored 1 registers the moved program again") << "1" << true << "" << true << "1";
    QTest::newRow("a stored 0 writes nothing") << "0" << false << "" << false << "0";
    QTest::newRow("a stored 0 leaves an old registration alone") << "0" << true << "" << true << "0";
    QTest::newRow("unchecking after a start with 1") << "1" << true << "uncheck" << false << "0";
}

void TestShellRegister::registration()
{
    QFETCH(QString, setting);
    QFETCH(bool, staleRegistration);
    QFETCH(QString, clicks);
    QFETCH(bool, registered);
    QFETCH(QString, zip2exe);
    const QString oldFolder = QStringLiteral("/old/place/");
    if (staleRegistration) {
        RegistryStore store;
        ShellRegister(store, oldFolder);
    }
    QVERIFY(m_box->writeSettings(QStringLiteral("zip2exe=%1\n").arg(setting)));
    auto form = m_box->start(&m_dialogs);
    auto *box = form->findChild<QCheckBox *>(QStringLiteral("CbShell"));
    QVERIFY(box);
    QCOMPARE(box->isChecked(), setting == QLatin1String("1"));
    for (const QString &click : clicks.split(' ', Qt::SkipEmptyParts)) {
        QCOMPARE(box->isChecked(), click == QLatin1String("uncheck"));
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
        QCOMPARE(box->isChecked(), click == QLatin1String("check"));
    }
    QCOMPARE(m_dialogs.said, QStringList());
    QCOMPARE(PrivateProfile(m_box->settingsFile()).readString(QStringLiteral("wzd"), QStringLiteral("zip2exe"), "(none)"),
             zip2exe);

    // The folder the handler is expected in: ours, or the old one when
    // nothing registered again.
    const bool ours = setting == QLatin1String("1") || clicks.contains(QLatin1String("check"));
    const QString folder = ours ? m_box->program : oldFolder;
    RegistryStore store;
    QCOMPARE(store.keyExists(kClass), registered);
    QCOMPARE(store.keyExists(kClass + QStringLiteral("\\InProcServer32")), registered);
    for (const QString &key : kHandlers)
        QCOMPARE(store.keyExists(key), registered);
    if (registered) {
        QCOMPARE(value(kClass, QStringLiteral("@")), std::optional<QString>(QStringLiteral("BRISCOVANE")));
        QCOMPARE(value(kClass + QStringLiteral("\\InProcServer32"), QStringLiteral("@")),
                 std::optional<QString>(folder + QStringLiteral("mantole-shell")));
        QCOMPARE(value(kClass + QStringLiteral("\\InProcServer32"), QStringLiteral("ThreadingModel")),
                 std::optional<QString>(QStringLiteral("Apartment")));
    }
    // SOLVREIK\Prog outlives the handler keys, "zip2exeshell" included.
    const bool everRegistered = registered || clicks.contains(QLatin1String("check")) || staleRegistration
        || setting == QLatin1String("1");
    if (everRegistered) {
        QCOMPARE(value(QStringLiteral("SOLVREIK\\Prog"), QStringLiteral("pathorlume")), std::optional<QString>(folder));
        QCOMPARE(value(QStringLiteral("SOLVREIK\\Prog"), QStringLiteral("zip2exeshell")),
                 std::optional<QString>(QStringLiteral("1")));
    } else {
        QCOMPARE(value(QStringLiteral("SOLVREIK\\Prog"), QStringLiteral("pathorlume")), std::nullopt);
    }
    form->close();
}

// A store that cannot be written: the registry error names the first
// value, and the setting was written before it.
void TestShellRegister::failedRegistrationIsSaid()
{
    QVERIFY(m_box->writeSettings(QStringLiteral("zip2exe=0\n")));
    auto form = m_box->start(&m_dialogs);
    qputenv("XDG_CONFIG_HOME", "/dev/null/config");
    form->findChild<QCheckBox *>(QStringLiteral("CbShell"))->setChecked(true);
    QCOMPARE(m_dialogs.said, QStringList{QStringLiteral("error: Erreur à définition des données pour ''")});
    QCOMPARE(PrivateProfile(m_box->settingsFile()).readString(QStringLiteral("wzd"), QStringLiteral("zip2exe"), "(none)"),
             QStringLiteral("1"));
    qputenv("XDG_CONFIG_HOME", m_box->config.toLocal8Bit());
    form->findChild<QCheckBox *>(QStringLiteral("CbShell"))->setChecked(false);
    form->close();
}

void TestShellRegister::checkInstallsTheMenuEntries()
{
    QVERIFY(m_box->writeSettings(QStringLiteral("zip2exe=0\n"), QStringLiteral("deutsch")));
    auto form = m_box->start(&m_dialogs);
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    const QString script = data + QStringLiteral("/nautilus/scripts/Selbstentpackendes Programm erstellen");
    const QString application = data + QStringLiteral("/applications/mantole.desktop");
    const QString uca = m_box->config + QStringLiteral("/Thunar/uca.xml");
    form->findChild<QCheckBox *>(QStringLiteral("CbShell"))->setChecked(true);
    QCOMPARE(m_dialogs.said, QStringList());
    QVERIFY(QFileInfo(script).isExecutable());
    QVERIFY(QFileInfo::exists(application));
    QVERIFY(QFileInfo::exists(data + QStringLiteral("/kio/servicemenus/mantole-exe.desktop")));
    QVERIFY(QFileInfo::exists(data + QStringLiteral("/nemo/actions/mantole-exe-to-zip.nemo_action")));
    QFile actions(uca);
    QVERIFY(actions.open(QIODevice::ReadOnly));
    QVERIFY(actions.readAll().contains("<name>Zurück in ein ZIP-Archiv verwandeln</name>"));
    actions.close();

    form->findChild<QCheckBox *>(QStringLiteral("CbShell"))->setChecked(false);
    QVERIFY(!QFileInfo::exists(script));
    QVERIFY(!QFileInfo::exists(application));
    QVERIFY(actions.open(QIODevice::ReadOnly));
    QVERIFY(!actions.readAll().contains("mantole-"));
    form->close();
}

void TestShellRegister::entriesFollowTheLanguage_data()
{
    QTest::addColumn<QString>("command"); // the language menu's item
    QTest::addColumn<bool>("checked");    // CbShell
    QTest::addColumn<QStringList>("scripts"); // GNOME Files' names afterwards: the menu texts
    QTest::addColumn<QString>("comment");     // of mantole.desktop
    QTest::newRow("German") << "MnuDeutsch" << true
                            << QStringList{QStringLiteral("In Mantole öffnen"),
                                           QStringLiteral("Selbstentpackendes Programm erstellen"),
                                           QStringLiteral("Zurück in ein ZIP-Archiv verwandeln")}
                            << QStringLiteral("Macht aus ZIP-Archiven selbstentpackende Windows-Programme und umgekehrt");
    QTest::newRow("Spanish") << "mnuSpanish" << true
                             << QStringList{QStringLiteral("Abrir en Mantole"),
                                            QStringLiteral("Crear un ejecutable autoextraíble"),
                                            QStringLiteral("Volver a convertir en archivo ZIP")}
                             << QStringLiteral("Convierte archivos ZIP en ejecutables autoextraíbles de Windows, y viceversa");
    QTest::newRow("French") << "MnuFrench" << true
                            << QStringList{QStringLiteral("Créer un exécutable auto-extractible"),
                                           QStringLiteral("Ouvrir dans Mantole"),
                                           QStringLiteral("Retransformer en archive ZIP")}
                            << QStringLiteral("Transforme des archives ZIP en exécutables Windows auto-extractibles, "
                                              "et inversement");
    QTest::newRow("unchecked: nothing is installed") << "MnuDeutsch" << false << QStringList() << QString();
}

// The wizard starts in English with the box as the row says; a language
// command rewrites every installed entry in the new language, and the old
// language's entries are gone.
void TestShellRegister::entriesFollowTheLanguage()
{
    QFETCH(QString, command);
    QFETCH(bool, checked);
    QFETCH(QStringList, scripts);
    QFETCH(QString, comment);
    QVERIFY(m_box->writeSettings(QStringLiteral("zip2exe=%1\n").arg(checked ? 1 : 0)));
    auto form = m_box->start(&m_dialogs);
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    const QString scriptFolder = data + QStringLiteral("/nautilus/scripts");
    if (checked)
        QVERIFY(QFileInfo::exists(scriptFolder + QStringLiteral("/Open in Mantole")));
    auto *item = form->findChild<QAction *>(command);
    QVERIFY(item);
    item->trigger();
    QCOMPARE(m_dialogs.said, QStringList());
    QCOMPARE(QDir(scriptFolder).entryList(QDir::Files, QDir::Name), scripts);
    if (!checked) {
        QVERIFY(!QFileInfo::exists(data + QStringLiteral("/applications/mantole.desktop")));
        return;
    }
    const auto lines = [](const QString &file) {
        QFile read(file);
        return read.open(QIODevice::ReadOnly) ? QString::fromUtf8(read.readAll()).split('\n') : QStringList();
    };
    QVERIFY(lines(data + QStringLiteral("/applications/mantole.desktop")).contains(QStringLiteral("Comment=") + comment));
    const QStringList dolphin = lines(data + QStringLiteral("/kio/servicemenus/mantole-zip.desktop"))
        + lines(data + QStringLiteral("/kio/servicemenus/mantole-exe.desktop"));
    const QStringList nemo = lines(data + QStringLiteral("/nemo/actions/mantole-zip-to-exe.nemo_action"))
        + lines(data + QStringLiteral("/nemo/actions/mantole-exe-to-zip.nemo_action"))
        + lines(data + QStringLiteral("/nemo/actions/mantole-open.nemo_action"));
    const QStringList thunar = lines(m_box->config + QStringLiteral("/Thunar/uca.xml"));
    for (const QString &text : scripts) {
        QVERIFY2(dolphin.contains(QStringLiteral("Name=") + text), qPrintable(text));
        QVERIFY2(nemo.contains(QStringLiteral("Name=") + text), qPrintable(text));
        QVERIFY2(thunar.contains(QStringLiteral("\t<name>") + text.toHtmlEscaped() + QStringLiteral("</name>")),
                 qPrintable(text));
    }
    for (const QStringList *file : {&dolphin, &nemo, &thunar})
        QVERIFY(!file->join('\n').contains(QStringLiteral("Open in Mantole")));
    form->close();
}

QTEST_MAIN(TestShellRegister)
#include "tst_shellregister.moc"
