#include "SfxIcon.h"

#include <QtEndian>

#include <array>
#include <cmath>

namespace {

constexpr int kSide = 32;
constexpr std::array<QRgb, 16> kPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

int nearest(double r, double g, double b)
{
    int best = 0;
    double bestDistance = 1e30;
    for (int i = 0; i < 16; ++i) {
        // Weighted as the eye weighs the channels.
        const double dr = r - qRed(kPalette[i]), dg = g - qGreen(kPalette[i]), db = b - qBlue(kPalette[i]);
        const double distance = 0.30 * dr * dr + 0.59 * dg * dg + 0.11 * db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

void put16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xFF)).append(char(v >> 8));
}

void put32(QByteArray &out, quint32 v)
{
    put16(out, quint16(v & 0xFFFF));
    put16(out, quint16(v >> 16));
}

} // namespace

QByteArray SfxIcon::fromImage(const QImage &picture)
{
    if (picture.isNull())
        return QByteArray();
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32)
                             .scaled(kSide, kSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Floyd–Steinberg over the opaque pixels.
    std::array<std::array<double, 3>, kSide * kSide> error{};
    std::array<int, kSide * kSide> index{};
    std::array<bool, kSide * kSide> transparent{};
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const int at = y * kSide + x;
            const QRgb p = image.pixel(x, y);
            transparent[at] = qAlpha(p) < 128;
            if (transparent[at])
                continue;
            const double want[3] = {qRed(p) + error[at][0], qGreen(p) + error[at][1], qBlue(p) + error[at][2]};
            index[at] = nearest(want[0], want[1], want[2]);
            const QRgb got = kPalette[index[at]];
            const double diff[3] = {want[0] - qRed(got), want[1] - qGreen(got), want[2] - qBlue(got)};
            const auto spread = [&](int dx, int dy, double share) {
                const int nx = x + dx, ny = y + dy;
                if (nx < 0 || nx >= kSide || ny >= kSide)
                    return;
                for (int c = 0; c < 3; ++c)
                    error[ny * kSide + nx][c] += diff[c] * share;
            };
            spread(1, 0, 7.0 / 16);
            spread(-1, 1, 3.0 / 16);
            spread(0, 1, 5.0 / 16);
            spread(1, 1, 1.0 / 16);
        }

    QByteArray out;
    out.reserve(kIconFileSize);
    put16(out, 0); // icon directory
    put16(out, 1);
    put16(out, 1);
    out.append(char(kSide)).append(char(kSide)).append(char(16)).append(char(0));
    put16(out, 1);
    put16(out, 4);
    put32(out, 744);
    put32(out, 22);
    put32(out, 40); // bitmap header: the height counts the colour rows and the mask
    put32(out, kSide);
    put32(out, kSide * 2);
    put16(out, 1);
    put16(out, 4);
    put32(out, 0);
    put32(out, 640);
    for (int i = 0; i < 4; ++i)
        put32(out, 0);
    for (const QRgb c : kPalette)
        out.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append(char(0));
    for (int y = kSide - 1; y >= 0; --y) // rows bottom up
        for (int x = 0; x < kSide; x += 2) {
            const int left = transparent[y * kSide + x] ? 0 : index[y * kSide + x];
            const int right = transparent[y * kSide + x + 1] ? 0 : index[y * kSide + x + 1];
            out.append(char((left << 4) | right));
        }
    for (int y = kSide - 1; y >= 0; --y)
        for (int x = 0; x < kSide; x += 8) {
            int bits = 0;
            for (int b = 0; b < 8; ++b)
                if (transparent[y * kSide + x + b])
                    bits |= 0x80 >> b;
            out.append(char(bits));
        }
    return out;
}
