#include "core/support/Bmp.h"

#include <QSaveFile>

namespace selvo {

namespace {
void put16(QByteArray& b, qsizetype at, quint16 v) {
    b[at] = char(v & 0xff);
    b[at + 1] = char(v >> 8);
}
void put32(QByteArray& b, qsizetype at, quint32 v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xff);
}
} // namespace

BmpFrame FrameFromXrgb32(const uchar* bits, int width, int height, qsizetype bytesPerLine) {
    BmpFrame frame;
    // Beyond 16384 pixels a side is not a camera frame; it would only exhaust memory.
    if (!bits || width <= 0 || height <= 0 || width > 16384 || height > 16384 ||
        bytesPerLine < qsizetype(width) * 4)
        return frame;
    const qsizetype stride = (qsizetype(width) * 3 + 3) & ~qsizetype(3);
    frame.width = width;
    frame.height = height;
    frame.pixels = QByteArray(stride * height, '\0');
    char* out = frame.pixels.data();
    for (int y = 0; y < height; ++y) {
        const uchar* src = bits + qsizetype(height - 1 - y) * bytesPerLine;
        char* dst = out + qsizetype(y) * stride;
        for (int x = 0; x < width; ++x) {
            const quint32 px = quint32(src[4 * x]) | quint32(src[4 * x + 1]) << 8 |
                               quint32(src[4 * x + 2]) << 16 | quint32(src[4 * x + 3]) << 24;
            dst[3 * x] = char(px & 0xff);             // blue
            dst[3 * x + 1] = char((px >> 8) & 0xff);  // green
            dst[3 * x + 2] = char((px >> 16) & 0xff); // red
        }
    }
    return frame;
}

QByteArray BmpFileBytes(const BmpFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0 || frame.pixels.isEmpty())
        return {};
    const qsizetype n = frame.pixels.size();
    QByteArray b(54, '\0');
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, quint32(n + 54));
    put32(b, 10, 54);
    put32(b, 14, 40);
    put32(b, 18, quint32(frame.width));
    put32(b, 22, quint32(frame.height));
    put16(b, 26, 1);
    put16(b, 28, 24);
    b += frame.pixels;
    return b;
}

bool WriteBmpFile(const QString& path, const BmpFrame& frame) {
    const QByteArray bytes = BmpFileBytes(frame);
    if (bytes.isEmpty())
        return false;
    // Written aside and renamed, so a reader never sees half a picture.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace selvo
