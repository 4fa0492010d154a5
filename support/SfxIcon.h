#pragma once
// The one icon form the extractor's icon slot takes: 32×32 pixels in the
// standard Windows 16-colour palette with an AND mask, 766 bytes as an icon
// file. Any picture the user picks is brought to that form, so that every
// icon works instead of only the rare ones already made that way.

#include <QByteArray>
#include <QImage>

namespace SfxIcon {

constexpr int kIconFileSize = 766;

// The icon file for the picture: scaled to 32×32, colours matched to the
// palette with error diffusion, pixels less than half opaque transparent.
// Empty for a null picture.
QByteArray fromImage(const QImage &picture);

} // namespace SfxIcon
