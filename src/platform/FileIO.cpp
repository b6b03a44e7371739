#include "platform/FileIO.h"
#include "platform/HostFiles.h"
#include "platform/LineBreaks.h"
#include "platform/WinPath.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace fileio {

namespace {

// 0x80..0x9F of Windows-1252. The five holes map to the C1 controls of the same value, as
// Windows' own conversion does, so every byte survives a round trip.
const char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char encodeChar(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

QString decode1252(const QByteArray &bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *dst = out.data();
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *dst++ = QChar(u >= 0x80 && u < 0xA0 ? kHigh[u - 0x80] : char16_t(u));
    }
    return out;
}

QByteArray encode1252(const QString &text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char *dst = out.data();
    for (const QChar c : text)
        *dst++ = encodeChar(c.unicode());
    return out;
}

QString normalizeLineBreaks(const QString &text)
{
    if (!text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString out;
    out.reserve(text.size() + text.size() / 16);
    linebreaks::appendCrLf(out, text.constData(), text.size());
    return out;
}

namespace {

bool isTextByte(unsigned char u)
{
    return !(u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0B && u != 0x0C && u != 0x0D && u != 0x1A);
}

#ifndef __SSE2__
using linebreaks::bytesEqual;
using linebreaks::kOnes;
using linebreaks::kTop;
#endif

} // namespace

bool isText(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype i = 0;
#ifdef __SSE2__
    // Every file added to a package is tested whole. Text has a line break every few dozen
    // bytes, so a test per sixteen bytes would mostly guess wrong: sixty-four bytes are
    // judged without a branch, then the verdict is read once.
    const __m128i top = _mm_set1_epi8(char(0x80));
    const __m128i belowSpace = _mm_set1_epi8(char(0x20 ^ 0x80));
    const __m128i tab = _mm_set1_epi8(0x09);
    const __m128i fiveAfterTab = _mm_set1_epi8(char(5 ^ 0x80));
    const __m128i sub = _mm_set1_epi8(0x1A);
    // Unsigned comparisons as signed ones with the top bit flipped. TAB, LF, VT, FF and CR
    // are 9 to 13, and SUB stands on its own.
    const auto refused = [&](const char *at) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        const __m128i control = _mm_cmplt_epi8(_mm_xor_si128(v, top), belowSpace);
        const __m128i allowed = _mm_or_si128(_mm_cmplt_epi8(_mm_xor_si128(_mm_sub_epi8(v, tab), top), fiveAfterTab),
                                             _mm_cmpeq_epi8(v, sub));
        return _mm_andnot_si128(allowed, control);
    };
    for (; i + 64 <= size; i += 64) {
        const __m128i bad = _mm_or_si128(_mm_or_si128(refused(data + i), refused(data + i + 16)),
                                         _mm_or_si128(refused(data + i + 32), refused(data + i + 48)));
        if (_mm_movemask_epi8(bad))
            return false;
    }
    for (; i + 16 <= size; i += 16) {
        if (_mm_movemask_epi8(refused(data + i)))
            return false;
    }
#else
    for (; i + 8 <= size; i += 8) {
        quint64 w;
        std::memcpy(&w, data + i, 8);
        // Bytes below 0x20: high bit clear and still clear after adding 0x60 to the low seven bits.
        const quint64 control = ~(((w & ~kTop) + kOnes * 0x60) | w) & kTop;
        if (!control)
            continue;
        // TAB, LF, VT, FF and CR are 9 to 13: at least 9 and not yet 14, tested on the low seven
        // bits (no byte carries into the next), and SUB on its own.
        const quint64 low = w & ~kTop;
        const quint64 allowed = (((low + kOnes * 0x77) & ~(low + kOnes * 0x72)) & kTop) | bytesEqual(w, 0x1A);
        if (control & ~allowed)
            return false;
    }
#endif
    for (; i < size; ++i) {
        if (!isTextByte(static_cast<unsigned char>(data[i])))
            return false;
    }
    return true;
}

std::optional<QByteArray> readBytes(const QString &windowsPath, QString *error)
{
    if (windowsPath.isEmpty()) {
        if (error)
            *error = QStringLiteral("no file name");
        return std::nullopt;
    }
    QFile file(winpath::toHost(windowsPath));
    if (QFileInfo(file.fileName()).isDir() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QFileInfo(file.fileName()).isDir() ? QStringLiteral("it is a folder") : file.errorString();
        return std::nullopt;
    }
    return file.readAll();
}

std::optional<QString> loadText(const QString &windowsPath, QString *error)
{
    const auto bytes = readBytes(windowsPath, error);
    if (!bytes)
        return std::nullopt;
    return normalizeLineBreaks(decode1252(*bytes));
}

QByteArray encodeTextFile(const QString &text)
{
    const auto isBreak = [](char16_t c) { return c == u'\n' || c == 0x2029 || c == 0x2028; };
    const QChar *in = text.constData();
    const qsizetype size = text.size();
    // Room for the worst case, every character a break; cut to size at the end.
    QByteArray bytes(2 * size + 2, Qt::Uninitialized);
    char *out = bytes.data();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = in[i].unicode();
        if (c >= 0x20 && c < 0x80) {
            *out++ = char(c);
        } else if (c == u'\r' || isBreak(c)) {
            *out++ = '\r';
            *out++ = '\n';
            if (c == u'\r' && i + 1 < size && isBreak(in[i + 1].unicode()))
                ++i;
        } else {
            *out++ = encodeChar(c);
        }
    }
    *out++ = '\r';
    *out++ = '\n';
    bytes.truncate(out - bytes.constData());
    return bytes;
}

std::optional<QString> loadViewText(const QString &windowsPath, QString *error)
{
    const auto bytes = readBytes(windowsPath, error);
    if (!bytes)
        return std::nullopt;
    // Decoded and given single breaks in one pass into one buffer: a map of many megabytes
    // otherwise went through three full copies before the view saw it.
    const char *in = bytes->constData();
    const qsizetype size = bytes->size();
    QString text(size, Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto u = static_cast<unsigned char>(in[i]);
        if (u == '\r') {
            *out++ = QLatin1Char('\n');
            i += i + 1 < size && in[i + 1] == '\n';
        } else {
            *out++ = QChar(u >= 0x80 && u < 0xA0 ? kHigh[u - 0x80] : char16_t(u));
        }
    }
    text.truncate(out - text.constData());
    return text;
}

bool writeBytes(const QString &windowsPath, const QByteArray &bytes, QString *error)
{
    if (windowsPath.isEmpty() || windowsPath.endsWith(QLatin1Char('\\')) || windowsPath.endsWith(QLatin1Char('/'))) {
        if (error)
            *error = QStringLiteral("no file name");
        return false;
    }
    const QString host = winpath::toHost(windowsPath);
    return hostfs::writeFile(host, bytes, QByteArray(), error);
}

bool writeText(const QString &windowsPath, const QString &text, QString *error)
{
    QByteArray bytes = encode1252(text);
    bytes.append("\r\n", 2);
    return writeBytes(windowsPath, bytes, error);
}

bool exists(const QString &windowsPath)
{
    return !windowsPath.isEmpty() && QFileInfo::exists(winpath::toHost(windowsPath));
}

} // namespace fileio
