#pragma once
// Windows bitmaps built byte by byte, so tests can make whole ones and damaged ones alike.
#include <QByteArray>
#include <QtEndian>

namespace bmpbytes {

inline void put16(QByteArray &b, int at, quint16 v) { qToLittleEndian<quint16>(v, b.data() + at); }
inline void put32(QByteArray &b, int at, quint32 v) { qToLittleEndian<quint32>(v, b.data() + at); }

// File header and a 40-byte info header for a width x height picture of `bits` bits a pixel,
// followed by `paletteColours` grey palette entries and `pixelBytes` bytes of pixels whose
// value is `fill`. The header's own fields all tell the truth.
inline QByteArray make(int width, int height, int bits, int pixelBytes, int paletteColours = 0, quint32 compression = 0,
                       char fill = '\x40')
{
    const int offset = 14 + 40 + paletteColours * 4;
    QByteArray b(offset, '\0');
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, quint32(offset + pixelBytes));
    put32(b, 10, quint32(offset));
    put32(b, 14, 40);
    put32(b, 18, quint32(width));
    put32(b, 22, quint32(height));
    put16(b, 26, 1);
    put16(b, 28, quint16(bits));
    put32(b, 30, compression);
    put32(b, 34, quint32(pixelBytes));
    put32(b, 46, quint32(paletteColours));
    for (int i = 0; i < paletteColours; ++i) {
        const char grey = char(i * 255 / qMax(1, paletteColours - 1));
        b[54 + i * 4] = grey;
        b[55 + i * 4] = grey;
        b[56 + i * 4] = grey;
    }
    return b + QByteArray(pixelBytes, fill);
}

// Bytes in each padded row of a plain bitmap.
inline int rowBytes(int width, int bits) { return (width * bits + 31) / 32 * 4; }

// A whole 24-bit picture of one colour (blue, green, red bytes as the file keeps them).
inline QByteArray solid24(int width, int height, char blue = '\x20', char green = '\x40', char red = '\x60')
{
    QByteArray b = make(width, height, 24, rowBytes(width, 24) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int at = 54 + y * rowBytes(width, 24) + x * 3;
            b[at] = blue;
            b[at + 1] = green;
            b[at + 2] = red;
        }
    }
    return b;
}

// The same picture with its last `missing` bytes of pixels gone: the header still promises them.
inline QByteArray truncated(int width, int height, int missing) { return solid24(width, height).chopped(missing); }

// A header that claims a picture twice as tall as the pixels that follow it.
inline QByteArray lyingHeader(int width, int height)
{
    QByteArray b = solid24(width, height);
    put32(b, 22, quint32(height * 2));
    return b;
}

} // namespace bmpbytes
