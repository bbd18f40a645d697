#pragma once

#include <QByteArray>
#include <QString>

namespace selvo {

// A camera frame as the photo file keeps it: 24-bit pixels, blue-green-red, rows bottom first,
// each row padded to a multiple of four bytes.
struct BmpFrame {
    int width = 0;
    int height = 0;
    QByteArray pixels;
};

// Converts top-down 32-bit pixels (0xAARRGGBB words, as a QImage RGB32/ARGB32 holds them) with
// `bytesPerLine` bytes from one row to the next. An empty frame for bad sizes.
BmpFrame FrameFromXrgb32(const uchar* bits, int width, int height, qsizetype bytesPerLine);

// The bitmap file of a frame of N pixel bytes: a 54-byte header ("BM", file size N + 54, 0,
// offset 54, header size 40, width, height, 1 plane, 24 bits, the rest 0), then the pixels as
// they are. Empty when the frame is empty.
QByteArray BmpFileBytes(const BmpFrame& frame);

// Writes BmpFileBytes() to `path`, replacing it; false when it cannot be written completely.
bool WriteBmpFile(const QString& path, const BmpFrame& frame);

} // namespace selvo
