// Icons from .ico files, programs and the icon library.

#include "Fixtures.h"
#include "IconExtractor.h"

#include <QTemporaryDir>
#include <QTest>

class TestIconExtractor : public QObject {
    Q_OBJECT

private slots:
    void sources_data();
    void sources();
    void iconLibraryHasSixteenOrMore();
};

void TestIconExtractor::sources_data()
{
    QTest::addColumn<QString>("file"); // a fixture, or a path below the build's bin folder
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("size"); // 0: no icon
    QTest::newRow(".ico file") << "icon16.ico" << 0 << 766;
    QTest::newRow(".ico file has one icon") << "icon16.ico" << 1 << 0;
    QTest::newRow("256-colour .ico") << "icon256.ico" << 0 << 2238;
    QTest::newRow("program's icon") << "stub64.bin" << 0 << 766;
    QTest::newRow("past the program's last icon") << "stub64.bin" << 1 << 0;
    QTest::newRow("program without icons") << "stub32-noicon.bin" << 0 << 0;
    QTest::newRow("archive") << "plain.zip" << 0 << 0;
    QTest::newRow("missing file") << "no-such-file.ico" << 0 << 0;
}

void TestIconExtractor::sources()
{
    QFETCH(QString, file);
    QFETCH(int, index);
    QFETCH(int, size);
    const QByteArray icon = IconExtractor::extract(Fixtures::path(file), index);
    QCOMPARE(icon.size(), size);
    if (size)
        QVERIFY(IconExtractor::isIconFile(icon));
}

void TestIconExtractor::iconLibraryHasSixteenOrMore()
{
    const QString library = QStringLiteral(MANTOLE_BIN_DIR "/icones.dll");
    const int count = IconExtractor::iconCount(library);
    QVERIFY(count >= 16);
    for (int i = 0; i < count; ++i) {
        const QByteArray icon = IconExtractor::extract(library, i);
        QCOMPARE(icon.size(), 766); // one 32x32 16-colour image each
    }
    // A truncated .ico is no icon.
    QTemporaryDir dir;
    const QString cut = dir.filePath(QStringLiteral("cut.ico"));
    QVERIFY(Fixtures::write(cut, Fixtures::read(QStringLiteral("icon16.ico")).left(500)));
    QVERIFY(IconExtractor::extract(cut, 0).isEmpty());
}

QTEST_GUILESS_MAIN(TestIconExtractor)
#include "tst_iconextractor.moc"
