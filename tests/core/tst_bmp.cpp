#include "core/support/Bmp.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace selvo;

class TestBmp final : public QObject {
    Q_OBJECT

private slots:
    void twoByTwoFrame() {
        // Top-down 0xAARRGGBB words: red, green / blue, white.
        const quint32 px[4] = {0xffff0000u, 0xff00ff00u, 0xff0000ffu, 0xffffffffu};
        uchar bits[16];
        for (int i = 0; i < 4; ++i)
            for (int b = 0; b < 4; ++b)
                bits[4 * i + b] = uchar(px[i] >> (8 * b));
        const BmpFrame frame = FrameFromXrgb32(bits, 2, 2, 8);
        QCOMPARE(frame.width, 2);
        QCOMPARE(frame.height, 2);
        const QByteArray expected = QByteArray::fromHex(
            // header: "BM", size 70, reserved, offset 54, header 40, 2 x 2, 1 plane, 24 bits, 24 zero bytes
            "424d"
            "46000000"
            "00000000"
            "36000000"
            "28000000"
            "02000000"
            "02000000"
            "0100"
            "1800"
            "000000000000000000000000000000000000000000000000"
            // bottom row first, blue-green-red, each row padded to 8 bytes
            "ff0000"
            "ffffff"
            "0000"
            "0000ff"
            "00ff00"
            "0000");
        QCOMPARE(BmpFileBytes(frame).toHex(), expected.toHex());
    }

    void fileSizeAndPadding_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("stride");
        QTest::newRow("1 wide") << 1 << 3 << 4;
        QTest::newRow("3 wide") << 3 << 2 << 12;
        QTest::newRow("4 wide, no padding") << 4 << 1 << 12;
        QTest::newRow("640 x 480") << 640 << 480 << 1920;
    }
    void fileSizeAndPadding() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, stride);
        // Rows of the source may be longer than the pixels (bytesPerLine padding).
        const qsizetype bpl = qsizetype(width) * 4 + 8;
        QByteArray src(bpl * height, '\x7f');
        const BmpFrame frame =
            FrameFromXrgb32(reinterpret_cast<const uchar*>(src.constData()), width, height, bpl);
        QCOMPARE(frame.pixels.size(), qsizetype(stride) * height);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("temp.bmp"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x')); // a bigger earlier picture is replaced, not overwritten in part
        old.close();
        QVERIFY(WriteBmpFile(path, frame));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(bytes.size(), frame.pixels.size() + 54);
        QCOMPARE(bytes.mid(54), frame.pixels);
        const auto le32 = [&](int at) {
            return quint32(uchar(bytes[at])) | quint32(uchar(bytes[at + 1])) << 8 |
                   quint32(uchar(bytes[at + 2])) << 16 | quint32(uchar(bytes[at + 3])) << 24;
        };
        QCOMPARE(le32(2), quint32(bytes.size()));
        QCOMPARE(le32(18), quint32(width));
        QCOMPARE(le32(22), quint32(height));
    }

    void badFrames() {
        const uchar bits[16] = {};
        QVERIFY(FrameFromXrgb32(nullptr, 2, 2, 8).pixels.isEmpty());
        QVERIFY(FrameFromXrgb32(bits, 0, 2, 8).pixels.isEmpty());
        QVERIFY(FrameFromXrgb32(bits, 2, -1, 8).pixels.isEmpty());
        QVERIFY(FrameFromXrgb32(bits, 2, 2, 4).pixels.isEmpty()); // rows shorter than the width
        QVERIFY(BmpFileBytes({}).isEmpty());
        QTemporaryDir dir;
        QVERIFY(!WriteBmpFile(dir.filePath(QStringLiteral("x.bmp")), {}));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.bmp"))));
        QVERIFY(!WriteBmpFile(dir.filePath(QStringLiteral("no/such/folder/x.bmp")),
                              FrameFromXrgb32(bits, 2, 2, 8)));
    }
};

QTEST_GUILESS_MAIN(TestBmp)
#include "tst_bmp.moc"
