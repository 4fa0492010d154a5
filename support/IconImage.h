#pragma once
// Pictures of icons for previews: the images of an icon file (the bytes of
// a .ico file, as IconExtractor returns them) decoded to QImage. Device-
// independent bitmaps of 1, 4, 8, 24 and 32 bits per pixel with their
// transparency masks, and PNG-compressed images, are understood; anything
// else, or bytes that lie, gives a null image.

#include <QByteArray>
#include <QImage>

class IconImage {
public:
    // The image of the icon whose size is nearest the wanted one (more
    // colours first among equals).
    static QImage decode(const QByteArray &iconFile, int wantedSize = 32);
    // One image of an icon file: a bitmap with its mask, or a PNG.
    static QImage decodeImage(const QByteArray &image);

    static constexpr int kMaxSide = 1024;
};
