#include "IconImage.h"

#include "IconExtractor.h"

#include <QColor>

#include <cstdlib>
#include <optional>

namespace {

struct BitmapHeader {
    int width = 0;
    int height = 0; // of the picture, without its mask
    int bitCount = 0;
    quint32 headerSize = 0;
    quint32 colourCount = 0;
};

// Little-endian fields at places the caller has checked.
quint16 u16At(const QByteArray &bytes, qsizetype at)
{
    return static_cast<quint16>(static_cast<uchar>(bytes[at]) | static_cast<uchar>(bytes[at + 1]) << 8);
}

quint32 u32At(const QByteArray &bytes, qsizetype at)
{
    return u16At(bytes, at) | static_cast<quint32>(u16At(bytes, at + 2)) << 16;
}

std::optional<BitmapHeader> readHeader(const QByteArray &image)
{
    if (image.size() < 40)
        return std::nullopt;
    BitmapHeader header;
    header.headerSize = u32At(image, 0);
    header.width = static_cast<qint32>(u32At(image, 4));
    // The height counts the picture and its mask together.
    header.height = static_cast<qint32>(u32At(image, 8)) / 2;
    header.bitCount = u16At(image, 14);
    const quint32 compression = u32At(image, 16);
    header.colourCount = u32At(image, 32);
    const bool knownDepth = header.bitCount == 1 || header.bitCount == 4 || header.bitCount == 8
        || header.bitCount == 24 || header.bitCount == 32;
    if (header.headerSize < 40 || header.headerSize > static_cast<quint32>(image.size()) || compression != 0
        || !knownDepth || header.width <= 0 || header.height <= 0 || header.width > IconImage::kMaxSide
        || header.height > IconImage::kMaxSide)
        return std::nullopt;
    if (header.bitCount <= 8 && (header.colourCount == 0 || header.colourCount > (1u << header.bitCount)))
        header.colourCount = 1u << header.bitCount;
    if (header.bitCount > 8)
        header.colourCount = 0;
    return header;
}

qsizetype rowStride(int width, int bitCount)
{
    return ((static_cast<qsizetype>(width) * bitCount + 31) / 32) * 4;
}

// The palette index or colour of pixel x of a row of colour bits.
QRgb pixelAt(const uchar *row, int x, const BitmapHeader &header, const QList<QRgb> &palette)
{
    switch (header.bitCount) {
    case 1:
        return palette[(row[x / 8] >> (7 - x % 8)) & 1];
    case 4:
        return palette[(row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F];
    case 8:
        return palette[row[x]];
    case 24:
        return qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    default:
        return qRgba(row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]);
    }
}

QImage decodeBitmap(const QByteArray &image)
{
    const std::optional<BitmapHeader> header = readHeader(image);
    if (!header)
        return {};
    const qsizetype paletteAt = header->headerSize;
    const qsizetype colourAt = paletteAt + 4 * static_cast<qsizetype>(header->colourCount);
    const qsizetype colourStride = rowStride(header->width, header->bitCount);
    const qsizetype maskAt = colourAt + colourStride * header->height;
    const qsizetype maskStride = rowStride(header->width, 1);
    if (maskAt > image.size())
        return {};
    // Some 32-bit images leave their mask out; they carry alpha instead.
    const bool hasMask = maskAt + maskStride * header->height <= image.size();
    if (!hasMask && header->bitCount != 32)
        return {};

    QList<QRgb> palette;
    for (quint32 i = 0; i < header->colourCount; ++i) {
        const auto *entry = reinterpret_cast<const uchar *>(image.constData()) + paletteAt + 4 * i;
        palette << qRgb(entry[2], entry[1], entry[0]);
    }
    // A short palette leaves the other indexes black rather than undefined.
    if (header->bitCount <= 8)
        palette.resize(qsizetype(1) << header->bitCount, qRgb(0, 0, 0));
    // A 32-bit image whose alpha is all zero predates alpha: its mask rules.
    bool useAlpha = false;
    QImage picture(header->width, header->height, QImage::Format_ARGB32);
    const auto *bits = reinterpret_cast<const uchar *>(image.constData());
    for (int y = 0; y < header->height; ++y) {
        const int sourceRow = header->height - 1 - y; // bottom-up
        const uchar *row = bits + colourAt + colourStride * sourceRow;
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < header->width; ++x) {
            line[x] = pixelAt(row, x, *header, palette);
            useAlpha = useAlpha || (header->bitCount == 32 && qAlpha(line[x]) != 0);
        }
    }
    for (int y = 0; !useAlpha && y < header->height; ++y) {
        const uchar *maskRow = bits + maskAt + maskStride * (header->height - 1 - y);
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < header->width; ++x) {
            const bool transparent = hasMask && ((maskRow[x / 8] >> (7 - x % 8)) & 1);
            line[x] = transparent ? qRgba(0, 0, 0, 0) : (line[x] | 0xFF000000u);
        }
    }
    return picture;
}

} // namespace

QImage IconImage::decodeImage(const QByteArray &image)
{
    if (image.startsWith("\x89PNG\r\n\x1a\n")) {
        QImage png = QImage::fromData(image, "PNG");
        if (png.isNull() || png.width() > kMaxSide || png.height() > kMaxSide)
            return {};
        return png.convertToFormat(QImage::Format_ARGB32);
    }
    return decodeBitmap(image);
}

QImage IconImage::decode(const QByteArray &iconFile, int wantedSize)
{
    if (!IconExtractor::isIconFile(iconFile))
        return {};
    const int count = u16At(iconFile, 4);
    int best = -1;
    int bestDistance = 0;
    int bestDepth = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = 6 + 16 * i;
        const int side = static_cast<uchar>(iconFile[entry]) == 0 ? 256 : static_cast<uchar>(iconFile[entry]);
        const int depth = u16At(iconFile, entry + 6);
        const int distance = std::abs(side - wantedSize);
        if (best < 0 || distance < bestDistance || (distance == bestDistance && depth > bestDepth)) {
            best = i;
            bestDistance = distance;
            bestDepth = depth;
        }
    }
    if (best < 0)
        return {};
    const qsizetype entry = 6 + 16 * best;
    return decodeImage(iconFile.mid(u32At(iconFile, entry + 12), u32At(iconFile, entry + 8)));
}
