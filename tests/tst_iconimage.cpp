// Icon pictures for previews, checked against Qt's own ICO reader and
// against ImageMagick, and kept safe from lying bytes.

#include "Fixtures.h"
#include "IconExtractor.h"
#include "IconImage.h"

#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

void putLe(QByteArray &bytes, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

QRgb paletteColour(int i)
{
    return qRgb((i * 37) % 256, (i * 91 + 10) % 256, (i * 53 + 20) % 256);
}

// A bitmap icon image drawn from a pattern: colour index or value from
// (x, y), every fifth pixel of the mask transparent.
QByteArray makeBitmap(int bitCount, int width, int height, int paletteSize, bool alpha, bool withMask = true)
{
    QByteArray image;
    putLe(image, 40, 4);
    putLe(image, static_cast<quint32>(width), 4);
    putLe(image, static_cast<quint32>(2 * height), 4);
    putLe(image, 1, 2);
    putLe(image, static_cast<quint32>(bitCount), 2);
    putLe(image, 0, 4); // no compression
    putLe(image, 0, 4);
    putLe(image, 0, 4);
    putLe(image, 0, 4);
    putLe(image, bitCount <= 8 ? static_cast<quint32>(paletteSize) : 0, 4);
    putLe(image, 0, 4);
    if (bitCount <= 8)
        for (int i = 0; i < paletteSize; ++i) {
            const QRgb c = paletteColour(i);
            image += char(qBlue(c));
            image += char(qGreen(c));
            image += char(qRed(c));
            image += char(0);
        }
    const int stride = ((width * bitCount + 31) / 32) * 4;
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(stride, 0);
        for (int x = 0; x < width; ++x) {
            const int index = (x + 2 * y) % paletteSize;
            switch (bitCount) {
            case 1: row[x / 8] = char(row[x / 8] | (index << (7 - x % 8))); break;
            case 4: row[x / 2] = char(row[x / 2] | (index << (x % 2 ? 0 : 4))); break;
            case 8: row[x] = char(index); break;
            default:
                const QRgb c = qRgb(x * 9 % 256, y * 13 % 256, (x + y) * 7 % 256);
                row[x * (bitCount / 8)] = char(qBlue(c));
                row[x * (bitCount / 8) + 1] = char(qGreen(c));
                row[x * (bitCount / 8) + 2] = char(qRed(c));
                if (bitCount == 32)
                    row[x * 4 + 3] = char(alpha ? (x * 17 + y * 29) % 256 : 0);
            }
        }
        image += row;
    }
    const int maskStride = ((width + 31) / 32) * 4;
    for (int y = height - 1; withMask && y >= 0; --y) {
        QByteArray row(maskStride, 0);
        for (int x = 0; x < width; ++x)
            if ((x + y * width) % 5 == 0)
                row[x / 8] = char(row[x / 8] | (1 << (7 - x % 8)));
        image += row;
    }
    return image;
}

QByteArray iconFileOf(const QList<std::pair<QByteArray, int>> &images) // image, bit count
{
    QByteArray file;
    putLe(file, 0, 2);
    putLe(file, 1, 2);
    putLe(file, static_cast<quint32>(images.size()), 2);
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (const auto &[image, bitCount] : images) {
        const bool png = image.startsWith("\x89PNG");
        const bool bitmap = !png && image.size() >= 12;
        file += char(bitmap ? image[4] : 0);
        file += char(bitmap ? Fixtures::getU32(image, 8) / 2 : 0);
        file += char(0);
        file += char(0);
        putLe(file, 1, 2);
        putLe(file, static_cast<quint32>(bitCount), 2);
        putLe(file, static_cast<quint32>(image.size()), 4);
        putLe(file, offset, 4);
        offset += static_cast<quint32>(image.size());
    }
    for (const auto &image : images)
        file += image.first;
    return file;
}

// Same picture. Premultiplied, since Qt's reader keeps colours that way and
// so loses the colour of nearly transparent pixels.
void compareImages(const QImage &actual, const QImage &expected)
{
    QVERIFY(!actual.isNull());
    QCOMPARE(actual.size(), expected.size());
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb pa = a.pixel(x, y);
            const QRgb pe = e.pixel(x, y);
            if (qAlpha(pa) == 0 && qAlpha(pe) == 0)
                continue;
            if (pa != pe)
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2: %3 instead of %4")
                                     .arg(x).arg(y).arg(pa, 8, 16, QChar('0')).arg(pe, 8, 16, QChar('0'))));
        }
}

// Same colours wherever ours is opaque, whatever the referee made of the
// transparency.
void compareColours(const QImage &actual, const QImage &expected)
{
    QCOMPARE(actual.size(), expected.size());
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            if (qAlpha(actual.pixel(x, y)) == 255 && qAlpha(e.pixel(x, y)) != 0
                && actual.pixel(x, y) != (e.pixel(x, y) | 0xFF000000u))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
}

QImage qtReading(const QByteArray &iconFile)
{
    return QImage::fromData(iconFile, "ICO");
}

} // namespace

class TestIconImage : public QObject {
    Q_OBJECT

private slots:
    void decodesBitmaps_data();
    void decodesBitmaps();
    void picksTheNearestSize();
    void readsImageMagickIcons();
    void readsTheIconLibrary();
    void refusesLyingBytes_data();
    void refusesLyingBytes();
};

void TestIconImage::decodesBitmaps_data()
{
    QTest::addColumn<int>("bitCount");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("paletteSize");
    QTest::addColumn<bool>("alpha");
    // Qt's reader ignores the mask of 24-bit images and does not fall back
    // to it when a 32-bit image has no alpha; Windows uses it in both.
    QTest::addColumn<bool>("qtIgnoresMask");

    QTest::newRow("1 bit") << 1 << 32 << 32 << 2 << false << false;
    QTest::newRow("1 bit, odd width") << 1 << 13 << 7 << 2 << false << false;
    QTest::newRow("4 bits") << 4 << 32 << 32 << 16 << false << false;
    QTest::newRow("4 bits, short palette") << 4 << 15 << 9 << 5 << false << false;
    QTest::newRow("8 bits") << 8 << 48 << 48 << 256 << false << false;
    QTest::newRow("8 bits, odd width") << 8 << 17 << 3 << 200 << false << false;
    QTest::newRow("24 bits") << 24 << 16 << 16 << 1 << false << true;
    QTest::newRow("24 bits, padded rows") << 24 << 5 << 4 << 1 << false << true;
    QTest::newRow("32 bits with alpha") << 32 << 32 << 32 << 1 << true << false;
    QTest::newRow("32 bits, mask only") << 32 << 20 << 10 << 1 << false << true;
}

void TestIconImage::decodesBitmaps()
{
    QFETCH(int, bitCount);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, paletteSize);
    QFETCH(bool, alpha);
    QFETCH(bool, qtIgnoresMask);

    const QByteArray icon = iconFileOf({{makeBitmap(bitCount, width, height, paletteSize, alpha), bitCount}});
    const QImage image = IconImage::decode(icon);
    QCOMPARE(image.size(), QSize(width, height));
    if (qtIgnoresMask)
        compareColours(image, qtReading(icon));
    else
        compareImages(image, qtReading(icon));

    // And against the pattern itself, at an opaque pixel (1, 0) and a
    // masked one (0, 0).
    if (bitCount <= 8)
        QCOMPARE(image.pixel(1, 0), paletteColour(1 % paletteSize));
    else if (!alpha)
        QCOMPARE(image.pixel(1, 0), qRgb(9, 0, 7));
    if (!alpha)
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
}

void TestIconImage::picksTheNearestSize()
{
    const QByteArray icon = iconFileOf({{makeBitmap(4, 16, 16, 16, false), 4},
                                        {makeBitmap(4, 32, 32, 16, false), 4},
                                        {makeBitmap(32, 32, 32, 1, true), 32},
                                        {makeBitmap(8, 48, 48, 256, false), 8}});
    QCOMPARE(IconImage::decode(icon, 16).size(), QSize(16, 16));
    const QImage preview = IconImage::decode(icon); // 32: the image with more colours
    QCOMPARE(preview.size(), QSize(32, 32));
    QVERIFY(qAlpha(preview.pixel(1, 1)) != 255);
    QCOMPARE(IconImage::decode(icon, 40).size(), QSize(32, 32));
    QCOMPARE(IconImage::decode(icon, 100).size(), QSize(48, 48));
}

void TestIconImage::readsImageMagickIcons()
{
    const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
    if (convert.isEmpty())
        QSKIP("ImageMagick's convert is not installed");
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("picture.png"));
    const QString icon = dir.filePath(QStringLiteral("picture.ico"));
    QImage drawn(256, 256, QImage::Format_ARGB32);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            drawn.setPixel(x, y, qRgba(x, y, (x * y) % 256, x < 64 ? 0 : 255));
    QVERIFY(drawn.save(picture));
    QCOMPARE(QProcess::execute(convert, {picture, QStringLiteral("-define"),
                                         QStringLiteral("icon:auto-resize=256,48,32,16"), icon}),
             0);
    const QByteArray bytes = Fixtures::readFile(icon);
    QVERIFY(IconExtractor::isIconFile(bytes));

    const QImage large = IconImage::decode(bytes, 256); // stored as PNG
    compareImages(large, drawn);
    // The smaller ones are bitmaps: Qt's reader is the referee.
    QImageReader reader(icon, "ico");
    int compared = 0;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage expected = reader.read();
        if (expected.width() == 256)
            continue;
        compareImages(IconImage::decode(bytes, expected.width()), expected);
        ++compared;
    }
    QCOMPARE(compared, 3);
}

void TestIconImage::readsTheIconLibrary()
{
    const QString library = QStringLiteral(MANTOLE_BIN_DIR "/icones.dll");
    const int count = IconExtractor::iconCount(library);
    QVERIFY(count > 0);
    for (int i = 0; i < count; ++i) {
        const QByteArray icon = IconExtractor::extract(library, i);
        const QImage image = IconImage::decode(icon);
        QCOMPARE(image.size(), QSize(32, 32));
        compareImages(image, qtReading(icon));
    }
}

void TestIconImage::refusesLyingBytes_data()
{
    QTest::addColumn<QByteArray>("image");
    const QByteArray good = makeBitmap(8, 16, 16, 256, false);
    const auto patched = [&good](int at, quint32 value) {
        QByteArray bytes = good;
        Fixtures::putU32(bytes, at, value);
        return bytes;
    };
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header cut") << good.left(30);
    QTest::newRow("pixels cut") << good.left(good.size() - 200);
    QTest::newRow("mask cut") << good.left(good.size() - 10);
    QTest::newRow("header size past the end") << patched(0, 100000);
    QTest::newRow("header size too small") << patched(0, 12);
    QTest::newRow("zero width") << patched(4, 0);
    QTest::newRow("negative height") << patched(8, 0xFFFFFFE0);
    QTest::newRow("huge width") << patched(4, 0x7FFFFFFF);
    QTest::newRow("compressed") << patched(16, 1);
    QTest::newRow("16 bits") << [&good] { QByteArray b = good; Fixtures::putU16(b, 14, 16); return b; }();
    static const char brokenPng[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR garbage";
    QTest::newRow("broken PNG") << QByteArray(brokenPng, sizeof brokenPng - 1);
}

void TestIconImage::refusesLyingBytes()
{
    QFETCH(QByteArray, image);
    QVERIFY(IconImage::decodeImage(image).isNull());
    const QByteArray iconFile = iconFileOf({{image.isEmpty() ? QByteArray(1, 0) : image, 8}});
    QVERIFY(IconExtractor::isIconFile(iconFile));
    QVERIFY(IconImage::decode(iconFile).isNull());
}

QTEST_GUILESS_MAIN(TestIconImage)
#include "tst_iconimage.moc"
