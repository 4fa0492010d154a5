// The language files that ship with the program hold every text the wizard
// asks for, read through the same lookups the program uses.

#include "PrivateProfile.h"
#include "ShellTexts.h"
#include "TLanguage.h"
#include "WizardTexts.h"

#include <QFileInfo>
#include <QSet>
#include <QTest>

class TestLanguageFiles : public QObject {
    Q_OBJECT

private slots:
    void everyTextIsThere_data();
    void everyTextIsThere();
    void buttonsShownTogetherHaveTheirOwnKeys_data() { everyTextIsThere_data(); }
    void buttonsShownTogetherHaveTheirOwnKeys();
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

    // The file managers' menus and mantole-shell fall back to English
    // silently: a missing text would go unnoticed there. Placeholders
    // must survive the translation.
    const ShellTexts english;
    for (const QString &key : ShellTexts::keys()) {
        const qsizetype slash = key.indexOf('/');
        const QString text = file.readString(key.left(slash), key.mid(slash + 1), QString());
        QVERIFY2(!text.trimmed().isEmpty(), qPrintable(key));
        for (const char *placeholder : {"%1", "%2"})
            QVERIFY2(text.contains(QLatin1String(placeholder))
                         == english.text(key.toLatin1().constData()).contains(QLatin1String(placeholder)),
                     qPrintable(key + QStringLiteral(": ") + text));
    }
}

void TestLanguageFiles::buttonsShownTogetherHaveTheirOwnKeys()
{
    // Two buttons on screen with the same Alt letter make it move the focus
    // between them instead of pressing one.
    QFETCH(QString, fileName);
    const PrivateProfile file(fileName);
    TLanguage language;
    language.FN = fileName;
    const auto key = [](const QString &text) {
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toLower() : QChar();
    };
    const auto caption = [&](const char *path) {
        return file.readString(QStringLiteral("Translations"), QLatin1String(path), QString());
    };
    const QStringList strip = {caption("WzdForm.Wzd.Backcaption"), caption("WzdForm.Wzd.Nextcaption"),
                               caption("WzdForm.Wzd.Helpcaption")};
    // The end button reads Cancel, or the closing text once Finish has run
    // (on every page after Back); Finish is on the last page alone, which
    // has no buttons of its own.
    const QStringList endButton = {caption("WzdForm.Wzd.Abortcaption"), language.ReadMessage(QStringLiteral("Wzd_Quit"))};
    const QList<QStringList> pageButtons = {{},
                                            {caption("WzdForm.BtnView.caption"), caption("WzdForm.BtnTest.caption")},
                                            {caption("WzdForm.BtnMsg.caption")},
                                            {caption("WzdForm.BtnExeZip.caption")}};
    QList<QStringList> together;
    for (const QStringList &page : pageButtons)
        for (const QString &end : endButton)
            together << strip + page + QStringList{end};
    together << strip + QStringList{caption("WzdForm.Wzd.Readycaption")};
    for (const QStringList &shown : together) {
        QSet<QChar> keys;
        for (const QString &text : shown) {
            const QChar letter = key(text);
            QVERIFY2(!letter.isNull(), qPrintable(text + QStringLiteral(" has no Alt letter")));
            QVERIFY2(!keys.contains(letter), qPrintable(shown.join(QStringLiteral(" | "))));
            keys.insert(letter);
        }
    }
}

QTEST_GUILESS_MAIN(TestLanguageFiles)
#include "tst_languagefiles.moc"
