#include "managers/PictureCheck.h"

#include "platform/Fail.h"

#include <QtEndian>

namespace picturecheck {

namespace {

constexpr qint64 kFileHeaderSize = 14;
constexpr qint64 kCoreHeaderSize = 12; // the oldest form: 16-bit sizes, three-byte palette entries
constexpr qint64 kInfoHeaderSize = 40;
// Far beyond any tattoo, and small enough that no size arithmetic below can overflow.
constexpr qint64 kMaxSide = 1 << 15;

enum Compression : quint32 { Plain = 0, Rle8 = 1, Rle4 = 2, BitFields = 3, AlphaBitFields = 6 };

using failure::fail;

quint16 u16(const QByteArray &b, qint64 at) { return qFromLittleEndian<quint16>(b.constData() + at); }
quint32 u32(const QByteArray &b, qint64 at) { return qFromLittleEndian<quint32>(b.constData() + at); }
qint32 s32(const QByteArray &b, qint64 at) { return qFromLittleEndian<qint32>(b.constData() + at); }

// Walks a run-length coded picture: every run and every escape must be there in full, up to
// the end-of-picture mark or the last row. A run that would reach past the row's end is cut
// by every reader and loses nothing, so it is not held against the file.
bool rleIsWhole(const QByteArray &bytes, qint64 start, qint64 end, qint64 width, qint64 height, int bits,
                QString *why)
{
    const auto pixelsToBytes = [bits](qint64 pixels) { return bits == 8 ? pixels : (pixels + 1) / 2; };
    const auto byteAt = [&bytes](qint64 at) { return quint8(bytes.at(at)); };
    qint64 at = start;
    qint64 x = 0;
    qint64 y = 0;
    while (y < height) {
        if (end - at < 2)
            return fail(why, QStringLiteral("its run-length coded pixels stop before the picture ends"));
        const quint8 count = byteAt(at);
        const quint8 code = byteAt(at + 1);
        at += 2;
        if (count > 0) {
            x = qMin(width, x + count);
            continue;
        }
        switch (code) {
        case 0: // end of row
            x = 0;
            ++y;
            break;
        case 1: // end of picture: what is left is background by definition
            return true;
        case 2: { // move right and down
            if (end - at < 2)
                return fail(why, QStringLiteral("its run-length coded pixels stop before the picture ends"));
            x += byteAt(at);
            y += byteAt(at + 1);
            at += 2;
            if (x > width)
                return fail(why, QStringLiteral("its run-length coded pixels jump past the edge of the picture"));
            break;
        }
        default: { // a literal run of `code` pixels, padded to an even number of bytes
            const qint64 literal = pixelsToBytes(code);
            const qint64 padded = literal + (literal & 1);
            if (end - at < padded)
                return fail(why, QStringLiteral("its run-length coded pixels stop before the picture ends"));
            at += padded;
            x = qMin(width, x + code);
            break;
        }
        }
    }
    return true;
}

} // namespace

bool isWhole(const QByteArray &bytes, QString *why)
{
    if (!bytes.startsWith("BM"))
        return true;
    const qint64 size = bytes.size();
    if (size < kFileHeaderSize + 4)
        return fail(why, QStringLiteral("its header is cut short"));

    const qint64 dataOffset = u32(bytes, 10);
    const qint64 infoSize = u32(bytes, kFileHeaderSize);
    if (infoSize != kCoreHeaderSize && infoSize < kInfoHeaderSize)
        return fail(why, QStringLiteral("its header is of no known kind"));
    const qint64 headerEnd = kFileHeaderSize + infoSize;
    if (headerEnd > size)
        return fail(why, QStringLiteral("its header is cut short"));

    qint64 width = 0;
    qint64 height = 0;
    int bits = 0;
    quint32 compression = Plain;
    qint64 codedSize = 0;
    qint64 colours = 0;
    qint64 paletteEntry = 4;
    qint64 masks = 0;
    if (infoSize == kCoreHeaderSize) {
        width = u16(bytes, 18);
        height = u16(bytes, 20);
        bits = u16(bytes, 24);
        paletteEntry = 3;
    } else {
        width = s32(bytes, 18);
        height = s32(bytes, 22);
        bits = u16(bytes, 28);
        compression = u32(bytes, 30);
        codedSize = u32(bytes, 34);
        colours = u32(bytes, 46);
        // The colour masks follow a 40-byte header; longer headers hold them inside.
        if (infoSize == kInfoHeaderSize && compression == BitFields)
            masks = 12;
        else if (infoSize == kInfoHeaderSize && compression == AlphaBitFields)
            masks = 16;
    }
    height = qAbs(height); // a negative height only means the rows run top to bottom
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return fail(why, QStringLiteral("its header gives the picture no usable size"));

    switch (bits) {
    case 1:
    case 4:
    case 8:
        if (colours == 0)
            colours = qint64(1) << bits;
        if (colours > (qint64(1) << bits))
            return fail(why, QStringLiteral("its header promises more colours than its pixels can name"));
        break;
    case 16:
    case 24:
    case 32:
        colours = 0; // a palette here is only a hint, and no reader needs it
        break;
    default:
        return fail(why, QStringLiteral("its header gives %1 bits a pixel").arg(bits));
    }

    const qint64 paletteEnd = headerEnd + masks + colours * paletteEntry;
    if (paletteEnd > size)
        return fail(why, QStringLiteral("its colour table is cut short"));
    // Readers skip forward to the offset the header gives, never back.
    const qint64 pixels = qMax(dataOffset, paletteEnd);
    if (pixels > size)
        return fail(why, QStringLiteral("its pixels would start after the end of the file"));

    switch (compression) {
    case Plain:
    case BitFields:
    case AlphaBitFields: {
        if (compression != Plain && bits != 16 && bits != 32)
            return fail(why, QStringLiteral("its colour masks do not go with %1 bits a pixel").arg(bits));
        const qint64 rowBytes = (width * bits + 31) / 32 * 4;
        const qint64 needed = rowBytes * height;
        if (size - pixels < needed)
            return fail(why, QStringLiteral("it holds %1 bytes of pixels where its header promises %2")
                                 .arg(size - pixels)
                                 .arg(needed));
        return true;
    }
    case Rle8:
    case Rle4: {
        if (bits != (compression == Rle8 ? 8 : 4))
            return fail(why, QStringLiteral("its run-length coding does not go with %1 bits a pixel").arg(bits));
        qint64 end = size;
        if (codedSize > 0) {
            if (codedSize > size - pixels)
                return fail(why, QStringLiteral("it holds %1 bytes of pixels where its header promises %2")
                                     .arg(size - pixels)
                                     .arg(codedSize));
            end = pixels + codedSize;
        }
        return rleIsWhole(bytes, pixels, end, width, height, bits, why);
    }
    default:
        return fail(why, QStringLiteral("its pixels are coded in a way Veldrin does not read"));
    }
}

} // namespace picturecheck
