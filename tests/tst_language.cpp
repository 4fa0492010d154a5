// The translation component: passes over property paths, list values,
// lookups and the registry copy, on real widgets.

#include "Fixtures.h"
#include "LanguageFilePath.h"
#include "RegistryStore.h"
#include "TLanguage.h"

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

// A component with the kinds of property a pass can set.
class Gauge : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(int Count READ count WRITE setCount)
    Q_PROPERTY(QStringList Items READ items WRITE setItems)
    Q_PROPERTY(bool Flag READ flag WRITE setFlag)

public:
    using QWidget::QWidget;
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption) { m_caption = caption; }
    int count() const { return m_count; }
    void setCount(int count) { m_count = count; }
    QStringList items() const { return m_items; }
    void setItems(const QStringList &items) { m_items = items; }
    bool flag() const { return m_flag; }
    void setFlag(bool flag) { m_flag = flag; }

private:
    QString m_caption = QStringLiteral("before");
    int m_count = 0;
    QStringList m_items;
    bool m_flag = false;
};

class TestLanguage : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void appliesPaths_data();
    void appliesPaths();
    void integerAndListProperties();
    void badIntegerStopsThePass();
    void notifications();
    void missingEntriesKeepThePreviousLanguage();
    void splitsLists_data();
    void splitsLists();
    void separatorDefaultsToComma();
    void lookups();
    void lookupsReadTheFileAfresh();
    void registryEntries();
    void registryWithoutSection();
    void registryWriteFailure();
    void languageFilePath_data();
    void languageFilePath();

private:
    QString writeLanguageFile(const QString &name, const QByteArray &text);

    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_form;
    QLabel *m_label = nullptr;
    Gauge *m_gauge = nullptr;
};

QString TestLanguage::writeLanguageFile(const QString &name, const QByteArray &text)
{
    const QString path = m_dir.filePath(name);
    Fixtures::write(path, text);
    return path;
}

// A window "WzdForm" whose components sit inside a page, as in the wizard.
void TestLanguage::init()
{
    m_form = std::make_unique<QWidget>();
    m_form->setObjectName(QStringLiteral("WzdForm"));
    m_form->setWindowTitle(QStringLiteral("window"));
    auto *page = new QWidget(m_form.get());
    page->setObjectName(QStringLiteral("paZip"));
    auto *layout = new QVBoxLayout(page);
    m_label = new QLabel(QStringLiteral("old"), page);
    m_label->setObjectName(QStringLiteral("LbZip2"));
    layout->addWidget(m_label);
    m_gauge = new Gauge(page);
    m_gauge->setObjectName(QStringLiteral("Gauge"));
    layout->addWidget(m_gauge);
}

void TestLanguage::cleanup()
{
    m_form.reset();
}

void TestLanguage::appliesPaths_data()
{
    QTest::addColumn<QString>("listLine");
    QTest::addColumn<QByteArray>("fileLine");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<QString>("expectedHint");

    const QString old = QStringLiteral("old");
    QTest::newRow("case and blanks ignored") << QStringLiteral("WzdForm.LbZip2.caption ")
                                            << QByteArray("  wzdform.lbzip2.CAPTION  = Bonjour ") << "Bonjour" << "";
    QTest::newRow("quotes dropped") << "WzdForm.LbZip2.caption" << QByteArray("WzdForm.LbZip2.caption=' Hi '")
                                    << " Hi " << "";
    QTest::newRow("blanks around segments") << " WzdForm . LbZip2 . caption" << QByteArray(" WzdForm . LbZip2 . caption=x")
                                            << "x" << "";
    QTest::newRow("empty value leaves it") << "WzdForm.LbZip2.caption" << QByteArray("WzdForm.LbZip2.caption=") << old << "";
    QTest::newRow("switched off line") << "//WzdForm.LbZip2.caption" << QByteArray("//WzdForm.LbZip2.caption=x")
                                       << old << "";
    QTest::newRow("missing component") << "WzdForm.LbZip9.caption" << QByteArray("WzdForm.LbZip9.caption=x") << old << "";
    QTest::newRow("missing form") << "Other.LbZip2.caption" << QByteArray("Other.LbZip2.caption=x") << old << "";
    QTest::newRow("missing property") << "WzdForm.LbZip2.colour" << QByteArray("WzdForm.LbZip2.colour=x") << old << "";
    QTest::newRow("no dot") << "caption" << QByteArray("caption=x") << old << "";
    QTest::newRow("Qt name") << "WzdForm.LbZip2.text" << QByteArray("WzdForm.LbZip2.text=t") << "t" << "";
    QTest::newRow("hint is the tool tip") << "WzdForm.LbZip2.Hint" << QByteArray("WzdForm.LbZip2.Hint=tip") << old << "tip";
    QTest::newRow("page on the path") << "WzdForm.paZip.LbZip2.caption"
                                      << QByteArray("WzdForm.paZip.LbZip2.caption=deep") << "deep" << "";
    QTest::newRow("value cut at 1023") << "WzdForm.LbZip2.caption"
                                       << "WzdForm.LbZip2.caption=" + QByteArray(1500, 'v') << QString(1023, 'v') << "";
}

void TestLanguage::appliesPaths()
{
    QFETCH(QString, listLine);
    QFETCH(QByteArray, fileLine);
    QFETCH(QString, expectedText);
    QFETCH(QString, expectedHint);

    TLanguage language;
    language.FN = writeLanguageFile(QStringLiteral("t.lgn"), "[Translations]\n" + fileLine + "\n");
    language.Properties = {listLine};
    language.Translate();
    QCOMPARE(m_label->text(), expectedText);
    QCOMPARE(m_label->toolTip(), expectedHint);
}

void TestLanguage::integerAndListProperties()
{
    TLanguage language;
    language.SetSeparator(QStringLiteral(";"));
    language.FN = writeLanguageFile(QStringLiteral("t.lgn"), "[Translations]\n"
                                                             "WzdForm.Gauge.count= -42 \n"
                                                             "WzdForm.Gauge.items=a; b;;c;\n"
                                                             "WzdForm.Gauge.flag=1\n"
                                                             "WzdForm.Gauge.caption=text\n"
                                                             "WzdForm.caption=Mantole\n");
    language.Properties = {QStringLiteral("WzdForm.Gauge.count"), QStringLiteral("WzdForm.Gauge.items"),
                           QStringLiteral("WzdForm.Gauge.flag"), QStringLiteral("WzdForm.Gauge.caption"),
                           QStringLiteral("WzdForm.caption")};
    language.Translate();
    QCOMPARE(m_gauge->count(), -42);
    QCOMPARE(m_gauge->items(), QStringList({"a", "b", "", "c"}));
    QVERIFY(!m_gauge->flag()); // no text form for flags
    QCOMPARE(m_gauge->caption(), QStringLiteral("text")); // the own property, not the widget's
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Mantole"));
}

void TestLanguage::badIntegerStopsThePass()
{
    TLanguage language;
    bool afterRaised = false;
    language.OnAfterTranslation = [&](TLanguage *) { afterRaised = true; };
    language.FN = writeLanguageFile(QStringLiteral("t.lgn"), "[Translations]\n"
                                                             "WzdForm.Gauge.count=12abc\n"
                                                             "WzdForm.LbZip2.caption=late\n");
    language.Properties = {QStringLiteral("WzdForm.Gauge.count"), QStringLiteral("WzdForm.LbZip2.caption")};
    try {
        language.Translate();
        QFAIL("no error for a text that is not a number");
    } catch (const TranslationError &error) {
        QCOMPARE(error.message(), QStringLiteral("'12abc' is not a valid integer value"));
    }
    QVERIFY(!afterRaised);
    QCOMPARE(m_label->text(), QStringLiteral("old"));
}

void TestLanguage::notifications()
{
    TLanguage language;
    QStringList events;
    language.OnBeforeTranslation = [&](TLanguage *sender) {
        QCOMPARE(sender, &language);
        events << QStringLiteral("before");
    };
    language.OnAfterTranslation = [&](TLanguage *) { events << QStringLiteral("after"); };
    language.OnTranslate = [&](TLanguage *, QObject *component, QString property, QString oldValue, QString &newValue) {
        events << component->objectName() + '.' + property + ':' + oldValue + "->" + newValue;
        if (property == QLatin1String("caption"))
            newValue = newValue.toUpper();
    };
    language.FN = writeLanguageFile(QStringLiteral("t.lgn"), "[Translations]\n"
                                                             "WzdForm.LbZip2.caption=new\n"
                                                             "WzdForm.Gauge.count=3\n"
                                                             "WzdForm.Gauge.missing=x\n"
                                                             "WzdForm.Nobody.caption=x\n");
    language.Properties = {QStringLiteral("WzdForm.LbZip2.caption"), QStringLiteral("WzdForm.Gauge.count"),
                           QStringLiteral("WzdForm.Gauge.missing"), QStringLiteral("WzdForm.Nobody.caption"),
                           QStringLiteral("WzdForm.LbZip2.hint")};
    language.Translate();
    QCOMPARE(events, QStringList({"before", "LbZip2.caption:old->new", "Gauge.count:->3", "Gauge.missing:->x", "after"}));
    QCOMPARE(m_label->text(), QStringLiteral("NEW"));
}

void TestLanguage::missingEntriesKeepThePreviousLanguage()
{
    TLanguage language;
    language.Properties = {QStringLiteral("WzdForm.LbZip2.caption"), QStringLiteral("WzdForm.LbZip2.hint")};
    language.FN = writeLanguageFile(QStringLiteral("french.lgn"), "[Translations]\n"
                                                                  "WzdForm.LbZip2.caption=Archive\n"
                                                                  "WzdForm.LbZip2.hint=Choisir\n");
    language.Translate();
    language.FN = writeLanguageFile(QStringLiteral("custom.lgn"), "[Translations]\nWzdForm.LbZip2.hint=Choose\n");
    language.Translate();
    QCOMPARE(m_label->text(), QStringLiteral("Archive"));
    QCOMPARE(m_label->toolTip(), QStringLiteral("Choose"));
    language.FN = m_dir.filePath(QStringLiteral("missing.lgn"));
    language.Translate();
    QCOMPARE(m_label->toolTip(), QStringLiteral("Choose"));
}

void TestLanguage::splitsLists_data()
{
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("empty item kept, last empty dropped") << ";" << "a; b;;c;" << QStringList{"a", "b", "", "c"};
    QTest::newRow("leading separator") << ";" << ";a" << QStringList{"", "a"};
    QTest::newRow("only blanks") << "," << "   " << QStringList{};
    QTest::newRow("no separator in value") << "," << " one item " << QStringList{"one item"};
    QTest::newRow("longer separator") << " | " << "x | y|z | " << QStringList{"x", "y|z"};
}

void TestLanguage::splitsLists()
{
    QFETCH(QString, separator);
    QFETCH(QString, value);
    QFETCH(QStringList, items);
    TLanguage language;
    language.SetSeparator(separator);
    QCOMPARE(language.SplitList(value), items);
}

void TestLanguage::separatorDefaultsToComma()
{
    TLanguage language;
    QVERIFY(language.Separator().isEmpty());
    QCOMPARE(language.SplitList(QStringLiteral(" a,b ")), QStringList{"a,b"}); // empty: never found
    language.SetSeparator(QStringLiteral("  "));
    QCOMPARE(language.Separator(), QStringLiteral(","));
    language.SetSeparator(QString());
    QCOMPARE(language.Separator(), QStringLiteral(","));
    language.SetSeparator(QStringLiteral(" ; "));
    QCOMPARE(language.Separator(), QStringLiteral(" ; "));
}

void TestLanguage::lookups()
{
    TLanguage language;
    QCOMPARE(language.ReadMessage(QStringLiteral("Msg_QuitWizard")), QStringLiteral("Msg_QuitWizard")); // no file yet
    language.FN = writeLanguageFile(QStringLiteral("t.lgn"), "[messages]\n"
                                                             "Msg_QuitWizard=Quitter ?\n"
                                                             "Msg_DatasErr=\n"
                                                             "Msg_DatasErr=second\n"
                                                             "[Buttons]\nsYes=Oui\n"
                                                             "[Thanks]\nsHint=\"  merci  \"\n");
    QCOMPARE(language.ReadMessage(QStringLiteral("msg_quitwizard")), QStringLiteral("Quitter ?"));
    QCOMPARE(language.ReadMessage(QStringLiteral("Msg_DatasErr")), QString()); // present but empty
    QCOMPARE(language.ReadMessage(QStringLiteral("Msg_TypeALine")), QStringLiteral("Msg_TypeALine"));
    QCOMPARE(language.ReadMessage(QStringLiteral("sYes")), QStringLiteral("sYes")); // other section
    QCOMPARE(language.ReadButton(QStringLiteral("sYes")), QStringLiteral("Oui"));
    QCOMPARE(language.ReadButton(QStringLiteral("sNo")), QStringLiteral("sNo"));
    QCOMPARE(language.ReadThanks(QStringLiteral("sHint")), QStringLiteral("  merci  "));
}

void TestLanguage::lookupsReadTheFileAfresh()
{
    TLanguage language;
    language.FN = writeLanguageFile(QStringLiteral("t.lgn"), "[Messages]\nCap_paZip=one\n");
    QCOMPARE(language.ReadMessage(QStringLiteral("Cap_paZip")), QStringLiteral("one"));
    writeLanguageFile(QStringLiteral("t.lgn"), "[Messages]\nCap_paZip=two\n");
    QCOMPARE(language.ReadMessage(QStringLiteral("Cap_paZip")), QStringLiteral("two"));
}

void TestLanguage::registryEntries()
{
    TLanguage language;
    language.FN = writeLanguageFile(QStringLiteral("t.lgn"), "[reg]\n"
                                                             "key=Foo\\Bar\n"
                                                             "Menu=Texte\n"
                                                             "Empty=\n"
                                                             "menu=second\n");
    RegistryStore store(m_dir.filePath(QStringLiteral("classes-root.ini")));
    language.WriteRegistryEntries(store);
    QVERIFY(store.openKey(QStringLiteral("Foo\\Bar"), false));
    QCOMPARE(store.readString(QStringLiteral("key")), std::optional<QString>(QStringLiteral("Foo\\Bar")));
    QCOMPARE(store.readString(QStringLiteral("Menu")), std::optional<QString>(QStringLiteral("Texte")));
    QVERIFY(!store.readString(QStringLiteral("Empty")));
}

void TestLanguage::registryWithoutSection()
{
    TLanguage language;
    language.FN = m_dir.filePath(QStringLiteral("missing.lgn"));
    RegistryStore store(m_dir.filePath(QStringLiteral("classes-root.ini")));
    language.WriteRegistryEntries(store);
    QVERIFY(store.keyExists(QStringLiteral("TEST")));
    QVERIFY(store.openKey(QStringLiteral("TEST"), false));
    QVERIFY(!store.readString(QStringLiteral("key")));
}

void TestLanguage::registryWriteFailure()
{
    TLanguage language;
    language.FN = writeLanguageFile(QStringLiteral("t.lgn"), "[reg]\nkey=Foo\nMenu=Texte\n");
    // The store's folder is a file, so nothing can be written there.
    writeLanguageFile(QStringLiteral("blocker"), "x");
    RegistryStore store(m_dir.filePath(QStringLiteral("blocker/classes-root.ini")));
    try {
        language.WriteRegistryEntries(store);
        QFAIL("no error for a store that cannot be written");
    } catch (const RegistryWriteError &error) {
        QCOMPARE(error.message(), QStringLiteral("Erreur à définition des données pour 'key'"));
    }
}

void TestLanguage::languageFilePath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("path");

    QTest::newRow("French") << "French" << "/opt/mantole" << "/opt/mantole/french.lgn";
    QTest::newRow("settings in capitals") << "ENGLISH" << "/opt/mantole/" << "/opt/mantole/english.lgn";
    QTest::newRow("already lower") << "espanol" << "/p" << "/p/espanol.lgn";
    QTest::newRow("only A-Z change") << "ÉSPAÑOL" << "/p" << "/p/ÉspaÑol.lgn";
}

void TestLanguage::languageFilePath()
{
    QFETCH(QString, name);
    QFETCH(QString, folder);
    QFETCH(QString, path);
    QCOMPARE(LanguageFilePath(name, folder), path);
}

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
