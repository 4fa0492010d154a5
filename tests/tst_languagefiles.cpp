// The language files that ship with the program hold every text the wizard
// asks for, read through the same lookups the program uses.

#include "PrivateProfile.h"
#include "TLanguage.h"
#include "WizardTexts.h"

#include <QFileInfo>
#include <QTest>

class TestLanguageFiles : public QObject {
    Q_OBJECT

private slots:
    void everyTextIsThere_data();
    void everyTextIsThere();
};

void TestLanguageFiles::everyTextIsThere_data()
{
    QTest::addColumn<QString>("fileName");
    for (const char *language : {"french", "english", "deutsch", "italiano", "espanol"})
        QTest::newRow(language) << QStringLiteral(MANTOLE_BIN_DIR "/%1.lgn").arg(QLatin1String(language));
}

void TestLanguageFiles::everyTextIsThere()
{
    QFETCH(QString, fileName);
    QVERIFY2(QFileInfo::exists(fileName), qPrintable(fileName));
    const PrivateProfile file(fileName);
    TLanguage language;
    language.FN = fileName;

    QStringList paths;
    for (const QString &path : WizardPropertyPaths()) {
        if (path.startsWith(QLatin1String("//")))
            continue;
        paths << path;
        QVERIFY2(!file.readString(QStringLiteral("Translations"), path, QString()).isEmpty(), qPrintable(path));
    }
    // A misspelt key would silently leave its widget untranslated.
    for (const QString &key : file.readSectionKeys(QStringLiteral("Translations")))
        QVERIFY2(paths.contains(key, Qt::CaseInsensitive), qPrintable(key + QStringLiteral(" is no property path")));

    const auto present = [](const QString &key, const QString &text) { return !text.isEmpty() && text != key; };
    for (const QString &key : MessageKeys())
        QVERIFY2(present(key, language.ReadMessage(key)), qPrintable(key));
    for (const QString &key : ButtonKeys())
        QVERIFY2(present(key, language.ReadButton(key)), qPrintable(key));
    for (const QString &key : ThanksKeys())
        QVERIFY2(present(key, language.ReadThanks(key)), qPrintable(key));

    // Open-dialog filters: pairs of description and patterns.
    for (const char *key : {"Typ_ZipExeDialog", "Typ_ExeDllIcoDialog"}) {
        const QStringList parts = language.ReadMessage(QLatin1String(key)).split('|');
        QVERIFY2(parts.size() >= 2 && parts.size() % 2 == 0, key);
        for (qsizetype i = 0; i < parts.size(); i += 2) {
            QVERIFY2(!parts[i].trimmed().isEmpty(), key);
            QVERIFY2(parts[i + 1].startsWith(QLatin1String("*.")), key);
        }
    }
    QVERIFY(!file.readString(QStringLiteral("reg"), QStringLiteral("key"), QString()).isEmpty());
}

QTEST_GUILESS_MAIN(TestLanguageFiles)
#include "tst_languagefiles.moc"
