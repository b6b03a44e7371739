// The whole-picture check on its own: bitmaps of every depth that readers take must pass,
// and every way a file can stop short of its header's promise must be caught.
#include "managers/PictureCheck.h"
#include "support/BmpBytes.h"

#include <QTest>

using namespace bmpbytes;

namespace {

// An 8-bit run-length coded picture from raw stream bytes.
QByteArray rle8(int width, int height, const QByteArray &stream, int sizeField = -1)
{
    QByteArray b = make(width, height, 8, 0, 4, 1);
    put32(b, 34, quint32(sizeField < 0 ? stream.size() : sizeField));
    return b + stream;
}

QByteArray core24(int width, int height, int pixelBytes)
{
    QByteArray b(26, '\0');
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 10, 26);
    put32(b, 14, 12);
    put16(b, 18, quint16(width));
    put16(b, 20, quint16(height));
    put16(b, 22, 1);
    put16(b, 24, 24);
    return b + QByteArray(pixelBytes, '\x11');
}

} // namespace

class test_PictureCheck : public QObject
{
    Q_OBJECT

private slots:
    void wholePicturesPass_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        // Rows padded to four bytes: 3 pixels of 24 bits take 12 bytes, not 9.
        QTest::newRow("24-bit, padded rows") << solid24(3, 2);
        QTest::newRow("24-bit, extra bytes after the pixels") << solid24(4, 4) + QByteArray(10, '\0');
        QTest::newRow("8-bit with its palette") << make(5, 3, 8, rowBytes(5, 8) * 3, 256);
        QTest::newRow("8-bit, short palette named in the header") << make(5, 3, 8, rowBytes(5, 8) * 3, 16);
        QTest::newRow("4-bit") << make(7, 2, 4, rowBytes(7, 4) * 2, 16);
        QTest::newRow("1-bit") << make(33, 2, 1, rowBytes(33, 1) * 2, 2);
        QByteArray topDown = solid24(2, 3);
        put32(topDown, 22, quint32(-3));
        QTest::newRow("top-down rows") << topDown;
        QByteArray masks = make(2, 2, 32, 12 + 16);
        put32(masks, 30, 3);
        put32(masks, 10, 54 + 12);
        QTest::newRow("32-bit with colour masks") << masks;
        QTest::newRow("oldest header form") << core24(3, 3, rowBytes(3, 24) * 3);
        // Two rows of four: a run, an end of row, a literal of four, end of picture.
        QTest::newRow("run-length coded")
            << rle8(4, 2, QByteArray::fromHex("0401" "0000" "0004 01020301" "0001"));
        QTest::newRow("run-length coded, every row without an end mark")
            << rle8(2, 2, QByteArray::fromHex("0203 0000 0205 0000"));
        QTest::newRow("run-length coded, size field left empty") << rle8(4, 1, QByteArray::fromHex("0407 0001"), 0);
        QTest::newRow("not a bitmap at all") << QByteArray("\x89PNG\r\n\x1a\n", 8);
        QTest::newRow("empty") << QByteArray();
    }
    void wholePicturesPass()
    {
        QFETCH(QByteArray, bytes);
        QString why;
        QVERIFY2(picturecheck::isWhole(bytes, &why), qPrintable(why));
    }

    void damagedPicturesFail_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("one byte of pixels missing") << truncated(32, 32, 1) << "bytes of pixels";
        QTest::newRow("half the rows missing") << truncated(32, 32, 16 * 96) << "bytes of pixels";
        QTest::newRow("header twice as tall as the pixels") << lyingHeader(16, 16) << "bytes of pixels";
        QTest::newRow("no pixels at all") << solid24(8, 8).left(54) << "bytes of pixels";
        QTest::newRow("info header cut") << solid24(8, 8).left(30) << "cut short";
        QTest::newRow("file header only") << QByteArray("BM\0\0\0\0", 6) << "cut short";
        QTest::newRow("cut inside the header's size") << QByteArray("BM") + QByteArray(15, '\0') << "cut short";
        QTest::newRow("rows not padded to four bytes") << truncated(3, 2, 6) << "bytes of pixels";
        QTest::newRow("pixels where the colour masks go") << make(2, 2, 32, 16, 0, 3) << "bytes of pixels";
        QByteArray farOffset = solid24(4, 4);
        put32(farOffset, 10, 5000);
        QTest::newRow("pixels promised past the end") << farOffset << "after the end";
        QTest::newRow("palette cut") << make(4, 4, 8, 0, 256).left(300) << "colour table";
        QByteArray manyColours = make(2, 2, 4, 8, 16);
        put32(manyColours, 46, 300);
        QTest::newRow("more colours than the depth allows") << manyColours << "more colours";
        QByteArray wide = solid24(2, 2);
        put32(wide, 18, 0);
        QTest::newRow("no width") << wide << "no usable size";
        put32(wide, 18, 100000);
        QTest::newRow("absurd width") << wide << "no usable size";
        QByteArray depth = solid24(2, 2);
        put16(depth, 28, 7);
        QTest::newRow("7 bits a pixel") << depth << "7 bits";
        QByteArray header = solid24(2, 2);
        put32(header, 14, 20);
        QTest::newRow("unknown header size") << header << "no known kind";
        QByteArray jpeg = solid24(2, 2);
        put32(jpeg, 30, 4);
        QTest::newRow("jpeg inside") << jpeg << "does not read";
        QTest::newRow("coded stream stops mid-picture")
            << rle8(4, 3, QByteArray::fromHex("0401 0000")) << "stop before";
        QTest::newRow("literal run cut") << rle8(8, 1, QByteArray::fromHex("0008 0102")) << "stop before";
        QTest::newRow("literal run without its padding") << rle8(3, 1, QByteArray::fromHex("0003 010203 0001")) << "stop before";
        QTest::newRow("size field bigger than the file")
            << rle8(4, 1, QByteArray::fromHex("0401 0001"), 400) << "bytes of pixels";
        QTest::newRow("size field cuts the end mark")
            << rle8(4, 2, QByteArray::fromHex("0401 0000 0401 0001"), 6) << "stop before";
        QTest::newRow("move past the edge") << rle8(4, 2, QByteArray::fromHex("0002 0900 0001")) << "edge";
        QTest::newRow("run-length coding on 24 bits") << make(2, 2, 24, 16, 0, 1) << "run-length";
    }
    void damagedPicturesFail()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QString why;
        QVERIFY(!picturecheck::isWhole(bytes, &why));
        QVERIFY2(why.contains(reason), qPrintable(why));
        QVERIFY(!picturecheck::isWhole(bytes)); // and without asking for the reason
    }
};

QTEST_MAIN(test_PictureCheck)
#include "test_PictureCheck.moc"
