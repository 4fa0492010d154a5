// What the build puts beside the program for the side picture, the Finish
// sounds and the help: read back by the readers the program and the desktop
// use, so a fault in the generator's own GIF encoder, a sound that is loud,
// long or clicks, or a help page missing a topic shows here.

#include <QFile>
#include <QImageReader>
#include <QStringDecoder>
#include <QtEndian>
#include <QtTest>

namespace {

QString binFile(const QString &name)
{
    return QStringLiteral(MANTOLE_BIN_DIR "/") + name;
}

// The anchors the program opens with F1: 200 is the contents, 210 + 10 x the
// index of each wizard page, then the topics that follow the pages.
const int kTopics[] = {200, 210, 220, 230, 240, 250, 260, 270, 280, 290, 300, 310, 320, 330};

} // namespace

class TstMedia : public QObject {
    Q_OBJECT

private slots:
    void sidePicture();
    void sound_data();
    void sound();
    void helpPage_data();
    void helpPage();
};

void TstMedia::sidePicture()
{
    QImageReader reader(binFile(QStringLiteral("matrix.gif")));
    QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
    QVERIFY(reader.supportsAnimation());
    QVERIFY(reader.imageCount() > 1);
    for (int i = 0; i < reader.imageCount(); ++i) {
        const QImage frame = reader.read();
        QVERIFY2(!frame.isNull(), qPrintable(QStringLiteral("frame %1: %2").arg(i).arg(reader.errorString())));
        QCOMPARE(frame.size(), QSize(57, 230));
        QVERIFY(reader.nextImageDelay() > 0);
        // Pixels far into the stream and drawn over earlier frames: the blue
        // sky above, the kraft parcel at the bottom of every frame.
        const QColor sky = frame.pixelColor(0, 0), ground = frame.pixelColor(0, 229);
        const QColor parcel = frame.pixelColor(28, 205);
        QVERIFY2(sky.blue() > sky.red() && ground.blue() > ground.red(), qPrintable(QString::number(i)));
        QVERIFY2(parcel.red() > parcel.green() && parcel.green() > parcel.blue() && parcel.red() > 180,
                 qPrintable(QString::number(i)));
    }
    // Loops for ever: Qt reads the loop count once the frames are scanned.
    QCOMPARE(reader.loopCount(), -1);
}

void TstMedia::sound_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"11.wav", "12.wav", "21.wav", "22.wav", "3.wav", "4.wav", "error.wav"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TstMedia::sound()
{
    QFETCH(QString, name);
    QFile file(binFile(name));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.size() > 12 && bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WAVE");
    const auto le16 = [&bytes](qsizetype at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    const auto le32 = [&bytes](qsizetype at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    int rate = 0;
    QByteArray data;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = le32(at + 4), body = at + 8;
        QVERIFY(body + size <= bytes.size());
        if (id == "fmt ") {
            QCOMPARE(le16(body), quint16(1));      // PCM
            QCOMPARE(le16(body + 2), quint16(1));  // mono
            rate = int(le32(body + 4));
            QCOMPARE(le16(body + 14), quint16(16)); // 16-bit
        } else if (id == "data") {
            data = bytes.mid(body, size);
        }
        at = body + size + (size & 1);
    }
    QVERIFY(rate == 22050 || rate == 44100);
    const qsizetype samples = data.size() / 2;
    QVERIFY(samples > 0);
    QVERIFY2(samples < rate, "a sound lasts less than a second");
    int peak = 0;
    for (qsizetype i = 0; i < samples; ++i)
        peak = qMax(peak, qAbs(int(qFromLittleEndian<qint16>(data.constData() + 2 * i))));
    QVERIFY2(peak < 32768 / 2, qPrintable(QStringLiteral("peak %1").arg(peak)));
    // Faded in and out: no click where the sound starts or is over.
    const auto sample = [&data](qsizetype i) { return qAbs(int(qFromLittleEndian<qint16>(data.constData() + 2 * i))); };
    QVERIFY(sample(0) < 64 && sample(samples - 1) < 64);
}

void TstMedia::helpPage_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"velmorak.html", "velmorak_e.html", "velmorak_d.html", "velmorak_i.html", "velmorak_s.html"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TstMedia::helpPage()
{
    QFETCH(QString, name);
    QFile file(binFile(name));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString page = utf8(bytes);
    QVERIFY2(!utf8.hasError(), "the page is UTF-8");
    QVERIFY(page.contains(QLatin1String("<meta charset=\"utf-8\">")));
    for (const int topic : kTopics)
        QVERIFY2(page.contains(QStringLiteral("id=\"%1\"").arg(topic)), qPrintable(QStringLiteral("topic %1").arg(topic)));
}

QTEST_GUILESS_MAIN(TstMedia)
#include "tst_media.moc"
