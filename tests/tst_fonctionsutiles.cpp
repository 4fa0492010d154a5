// The exact texts of the utility functions.

#include "Fixtures.h"
#include "FonctionsUtiles.h"
#include "SoundPlayer.h"

#include <QTemporaryDir>
#include <QTest>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QTimer>

class TestFonctionsUtiles : public QObject {
    Q_OBJECT

private slots:
    void elapsedText_data();
    void elapsedText();
    void sizeText_data();
    void sizeText();
    void fileStem_data();
    void fileStem();
    void datePrefix();
    void addBackslash();
    void fileSizeOf();
    void waitHandlesEvents();
    void playWave();
};

void TestFonctionsUtiles::elapsedText_data()
{
    QTest::addColumn<uint>("start");
    QTest::addColumn<uint>("stop");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << 1000u << 1000u << "00:00 Sec. 00 Ms.";
    QTest::newRow("83 456 ms") << 0u << 83456u << "01:23 Sec. 456 Ms.";
    QTest::newRow("5007 ms") << 0u << 5007u << "00:05 Sec. 07 Ms.";
    QTest::newRow("minutes past 59") << 0u << 3723004u << "62:03 Sec. 04 Ms.";
    QTest::newRow("tick counter wrapped") << 0xFFFFFF00u << 0x000000FFu << "00:00 Sec. 511 Ms.";
}

void TestFonctionsUtiles::elapsedText()
{
    QFETCH(uint, start);
    QFETCH(uint, stop);
    QFETCH(QString, text);
    QCOMPARE(ElapsedText(start, stop), text);
}

void TestFonctionsUtiles::sizeText_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    const QString c = QStringLiteral("C");
    QTest::newRow("negative") << qint64(-1) << c << "";
    QTest::newRow("zero") << qint64(0) << c << "0 b";
    QTest::newRow("1023") << qint64(1023) << c << "1023 b";
    QTest::newRow("1024") << qint64(1024) << c << "1 Ko";
    QTest::newRow("1152") << qint64(1152) << c << "1.13 Ko";
    QTest::newRow("1536") << qint64(1536) << c << "1.5 Ko";
    QTest::newRow("10 000") << qint64(10000) << c << "9.77 Ko";
    QTest::newRow("1 000 000") << qint64(1000000) << c << "977 Ko";
    QTest::newRow("1 023 488") << qint64(1023488) << c << "1E3 Ko";
    QTest::newRow("1 048 000") << qint64(1048000) << c << "1.02E3 Ko";
    QTest::newRow("1 048 576") << qint64(1048576) << c << "1 Mo";
    QTest::newRow("1 GiB") << qint64(1073741824) << c << "1 Go";
    QTest::newRow("5 GiB, past 32 bits") << qint64(5) * 1073741824 << c << "5 Go";
    QTest::newRow("French separator") << qint64(1152) << "fr_FR" << "1,13 Ko";
}

void TestFonctionsUtiles::sizeText()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QCOMPARE(SizeText(bytes, QLocale(locale)), text);
}

void TestFonctionsUtiles::fileStem_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("stem");
    QTest::newRow("first dot") << "C:\\in\\backup.2024.zip" << "backup";
    QTest::newRow("slashes") << "/home/user/photos.zip" << "photos";
    QTest::newRow("no dot") << "archive" << "archive";
    QTest::newRow("leading dot") << ".hidden" << "";
    QTest::newRow("drive only") << "C:name.zip" << "name";
}

void TestFonctionsUtiles::fileStem()
{
    QFETCH(QString, path);
    QFETCH(QString, stem);
    QCOMPARE(FileStem(path), stem);
}

void TestFonctionsUtiles::datePrefix()
{
    const QDate march7(2026, 3, 7);
    QCOMPARE(DatePrefixText(true, true, march7), QStringLiteral("0703"));
    QCOMPARE(DatePrefixText(false, true, march7), QStringLiteral("0307"));
    QCOMPARE(DatePrefixText(true, false, march7), QString());
    QCOMPARE(DatePrefixText(false, true, QDate(2026, 12, 25)), QStringLiteral("1225"));
}

void TestFonctionsUtiles::addBackslash()
{
    QCOMPARE(AddBackslash(QStringLiteral("/home/user")), QStringLiteral("/home/user/"));
    QCOMPARE(AddBackslash(QStringLiteral("/")), QStringLiteral("/"));
    QCOMPARE(AddBackslash(QString()), QString());
}

void TestFonctionsUtiles::fileSizeOf()
{
    QTemporaryDir dir;
    QVERIFY(Fixtures::write(dir.filePath(QStringLiteral("a.zip")), QByteArray(1234, 'x')));
    QCOMPARE(FileSizeOf(dir.filePath(QStringLiteral("a.zip"))), 1234);
    QCOMPARE(FileSizeOf(dir.filePath(QStringLiteral("a.*"))), 1234);
    QCOMPARE(FileSizeOf(dir.filePath(QStringLiteral("none.zip"))), 0);
}

void TestFonctionsUtiles::waitHandlesEvents()
{
    bool fired = false;
    QTimer::singleShot(0, [&fired] { fired = true; });
    WaitWithMessages(0); // at least one pass, even for no time at all
    QVERIFY(fired);

    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(10);
    WaitWithMessages(200);
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
}

// A one-second mono 8 kHz tone in RIFF/WAVE form.
static QByteArray waveFile()
{
    const quint32 samples = 8000;
    QByteArray bytes;
    const auto u32 = [&bytes](quint32 v) { for (int i = 0; i < 4; ++i) bytes += char((v >> (8 * i)) & 0xFF); };
    const auto u16 = [&bytes](quint16 v) { bytes += char(v & 0xFF); bytes += char(v >> 8); };
    bytes += "RIFF"; u32(36 + samples); bytes += "WAVEfmt "; u32(16);
    u16(1); u16(1); u32(8000); u32(8000); u16(1); u16(8);
    bytes += "data"; u32(samples);
    for (quint32 i = 0; i < samples; ++i)
        bytes += char(i % 16 < 8 ? 0x40 : 0xC0);
    return bytes;
}

void TestFonctionsUtiles::playWave()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("11.wav"));
    const QString second = dir.filePath(QStringLiteral("12.wav"));
    Fixtures::write(first, waveFile());
    Fixtures::write(second, waveFile());

    const QString noSound = dir.filePath(QStringLiteral("3.wav"));
    Fixtures::write(noSound, "RIFF\x10\0\0\0WAVEdata\xff\0\0\0");

    PlayWave(dir.filePath(QStringLiteral("missing.wav"))); // silent, and nothing else changes
    QVERIFY(SoundPlayer::instance().source().isEmpty());
    PlayWave(first);
    QCOMPARE(SoundPlayer::instance().source(), first);
    PlayWave(second); // cuts the first one off
    QCOMPARE(SoundPlayer::instance().source(), second);
    PlayWave(dir.filePath(QStringLiteral("missing.wav")));
    PlayWave(noSound);
    QCOMPARE(SoundPlayer::instance().source(), second);
    if (QMediaDevices::defaultAudioOutput().isNull())
        QSKIP("no sound output on this machine: the rules above hold, nothing is heard");
    QTRY_VERIFY(SoundPlayer::instance().isPlaying());
}

QTEST_GUILESS_MAIN(TestFonctionsUtiles)
#include "tst_fonctionsutiles.moc"
