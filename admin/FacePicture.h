#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The Face value (a bitmap file of at most 30000 bytes, stored and sent unchanged) and the two ways the
// user gives one: a face file taken byte for byte, or an ordinary picture made into a small bitmap file.
namespace FacePicture {

inline constexpr qsizetype MaxBytes = 30000;
// Faces are shown in lists of 32 × 32 pictures; a wider bitmap would be split into several there.
inline constexpr int Side = 32;

struct Loaded
{
    QByteArray face; // the new Face value; empty on failure
    QImage image;    // what the face shows
    QString error;   // the reason, in the error's own words, when face is empty
};

// A face file: its first 30000 bytes are the face, and they must decode as a bitmap file.
Loaded fromFaceFile(const QString &fileName);

// A PNG, JPEG or bitmap picture, cropped to a square around its centre and scaled to Side × Side.
Loaded fromPicture(const QString &fileName);

// A 24-bit bitmap file of the image as it is. Packets cut their fields at byte 0x08, so no byte of it is
// 0x08: a pixel value of 8 becomes 9, which no eye tells apart.
QByteArray bitmapFile(const QImage &image);

// The picture of a face value; null when it does not decode as a bitmap file.
QImage decode(const QByteArray &face);

} // namespace FacePicture
