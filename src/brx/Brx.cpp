#include "brx/Brx.h"
#include "brx/BrxSyntax.h"

#include "common/GameFolders.h"
#include "platform/FileIO.h"
#include "platform/HostPaths.h"
#include "platform/LineBreaks.h"
#include "platform/WinPath.h"

#include <cstring>

namespace brx {

namespace {

constexpr qsizetype kBase64Line = 76;

qsizetype markerLength(const char *marker) { return qsizetype(std::strlen(marker)); }

// 1-based "find M from P": the position of the first M starting at or after P, 0 for none.
// Every marker starts with '#', which content rarely holds, so jumping from '#' to '#' with
// memchr scans a big package at memory speed.
qsizetype find(const QByteArray &text, const char *marker, qsizetype from)
{
    if (from < 1)
        from = 1;
    const qsizetype length = markerLength(marker);
    const char *const begin = text.constData();
    const char *const last = begin + text.size() - length; // the last place a match can start
    for (const char *at = begin + from - 1; at <= last;) {
        const auto *hash = static_cast<const char *>(std::memchr(at, '#', size_t(last - at + 1)));
        if (!hash)
            return 0;
        if (std::memcmp(hash, marker, size_t(length)) == 0)
            return hash - begin + 1;
        at = hash + 1;
    }
    return 0;
}

bool hasBinaryMark(const QString &title) { return title.endsWith(QLatin1String(kBinaryMark)); }

} // namespace

// ---- Writing ------------------------------------------------------------------------------

const char *markerIn(const QByteArray &bytes)
{
    // One pass from '#' to '#' for all six: every file added to a package goes through here.
    const char *const begin = bytes.constData();
    const char *const end = begin + bytes.size();
    for (const char *at = begin; at < end;) {
        const auto *hash = static_cast<const char *>(std::memchr(at, '#', size_t(end - at)));
        if (!hash)
            return nullptr;
        const Marker m = markerAt(hash, end - hash);
        if (m != NoMarker)
            return kMarkerText[m];
        at = hash + 1;
    }
    return nullptr;
}

namespace {
// An entry's lines before its content, and after it.
void appendHead(QByteArray &package, const QString &installPath, const QString &title)
{
    package.append(kBegin).append("\r\n");
    package.append(kInstall).append(fileio::encode1252(installPath)).append(kInstallEnd).append("\r\n");
    package.append(kTitle).append(fileio::encode1252(title)).append(kTitleEnd).append("\r\n");
}

void appendTail(QByteArray &package)
{
    package.append("\r\n");
    package.append(kEnd).append("\r\n");
}
} // namespace

void appendEntry(QByteArray &package, const QString &installPath, const QString &title, const QByteArray &content)
{
    appendHead(package, installPath, title);
    package.append(content);
    appendTail(package);
}

void appendEntry(QString &package, const QString &installPath, const QString &title, const QString &content)
{
    QByteArray entry;
    appendEntry(entry, installPath, title, fileio::encode1252(content));
    package += fileio::decode1252(entry);
}

void appendBinaryEntry(QByteArray &package, const QString &installPath, const QString &title, const QByteArray &bytes)
{
    // Base64 in lines of kBase64Line characters, written straight into the package: one pass
    // over the bytes rather than encoding, splitting and copying each in turn.
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const qsizetype encoded = (bytes.size() + 2) / 3 * 4;
    const qsizetype breaks = encoded > 0 ? (encoded - 1) / kBase64Line : 0;
    appendHead(package, installPath, title + QLatin1String(kBinaryMark));
    const qsizetype start = package.size();
    package.resize(start + encoded + 2 * breaks);
    char *out = package.data() + start;
    const auto *in = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype whole = bytes.size() / 3 * 3;
    qsizetype column = 0;
    const auto put = [&](char c) {
        if (column == kBase64Line) {
            *out++ = '\r';
            *out++ = '\n';
            column = 0;
        }
        *out++ = c;
        ++column;
    };
    for (qsizetype i = 0; i < whole; i += 3) {
        const unsigned v = unsigned(in[i]) << 16 | unsigned(in[i + 1]) << 8 | in[i + 2];
        put(alphabet[v >> 18]);
        put(alphabet[(v >> 12) & 63]);
        put(alphabet[(v >> 6) & 63]);
        put(alphabet[v & 63]);
    }
    if (const qsizetype left = bytes.size() - whole) {
        const unsigned v = unsigned(in[whole]) << 16 | (left == 2 ? unsigned(in[whole + 1]) << 8 : 0u);
        put(alphabet[v >> 18]);
        put(alphabet[(v >> 12) & 63]);
        put(left == 2 ? alphabet[(v >> 6) & 63] : '=');
        put('=');
    }
    appendTail(package);
}

void appendBinaryEntry(QString &package, const QString &installPath, const QString &title, const QByteArray &bytes)
{
    QByteArray entry;
    appendBinaryEntry(entry, installPath, title, bytes);
    package += fileio::decode1252(entry);
}

bool fileEntryParts(const QString &installPath, const QString &title, const QByteArray &bytes, EntryParts *parts,
                    QString *error)
{
    // A '|' in the title would make a text entry read back as a binary one.
    if (title.contains(QLatin1Char('|'))) {
        if (error)
            *error = QStringLiteral("its name holds '|', which a package title cannot carry");
        return false;
    }
    if (fileio::isText(bytes) && !markerIn(bytes)) {
        appendHead(parts->head, installPath, title);
        parts->content = normalizeBreaks(bytes);
        appendTail(parts->tail);
    } else {
        appendBinaryEntry(parts->head, installPath, title, bytes);
    }
    return true;
}

bool appendFileContent(QByteArray &package, const QString &installPath, const QString &title, const QByteArray &bytes,
                       QString *error)
{
    EntryParts parts;
    if (!fileEntryParts(installPath, title, bytes, &parts, error))
        return false;
    package.append(parts.head).append(parts.content).append(parts.tail);
    return true;
}

bool appendFile(QByteArray &package, const QString &installPath, const QString &title, const QString &sourcePath,
                QString *error)
{
    if (title.contains(QLatin1Char('|')))
        return appendFileContent(package, installPath, title, {}, error);
    const auto bytes = fileio::readBytes(sourcePath, error);
    return bytes && appendFileContent(package, installPath, title, *bytes, error);
}

bool appendFile(QString &package, const QString &installPath, const QString &title, const QString &sourcePath,
                QString *error)
{
    QByteArray entry;
    if (!appendFile(entry, installPath, title, sourcePath, error))
        return false;
    package += fileio::decode1252(entry);
    return true;
}

bool savePackage(const QByteArray &package, const QString &destination, QString *error)
{
    if (destination.isEmpty() || destination.endsWith(QLatin1Char('\\')) || destination.endsWith(QLatin1Char('/'))) {
        if (error)
            *error = QStringLiteral("no file name");
        return false;
    }
    return writeHostFile(winpath::toHost(destination), package, QByteArrayLiteral("\r\n"), error);
}

bool savePackage(const QString &package, const QString &destination, QString *error)
{
    return fileio::writeText(destination, package, error);
}

QString damagedMessage(const ReadError &error)
{
    return kDamagedMessage + QStringLiteral("\n\nEntry %1 is damaged: %2.").arg(error.entry).arg(error.reason);
}

// ---- Reading ------------------------------------------------------------------------------

int countEntries(const QByteArray &package)
{
    const qsizetype length = package.size();
    int count = 0;
    qsizetype pos = 1;
    while (pos < length) {
        const qsizetype i = find(package, kBegin, pos);
        if (i < 1)
            break;
        ++count;
        pos = i + 1;
    }
    return count;
}

int countEntries(const QString &package) { return countEntries(fileio::encode1252(package)); }

std::optional<double> progressStep(int entries)
{
    if (entries == 0)
        return std::nullopt;
    return 100.0 / (2.0 * entries);
}

float advance(float value, double step)
{
    const float sum = static_cast<float>(static_cast<double>(value) + step);
    return sum > 100.0f ? 100.0f : sum;
}

QByteArray normalizeBreaks(const QByteArray &bytes)
{
    // Most packages are already CR LF throughout; check that cheaply before copying anything:
    // every LF must follow a CR and every CR must come before an LF. Blocks of fixed length
    // let the compiler compare many bytes at once.
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    bool clean = size == 0 || (data[0] != '\n' && data[size - 1] != '\r');
    constexpr qsizetype kBlock = 64;
    qsizetype i = 1;
    for (; clean && i + kBlock <= size; i += kBlock) {
        unsigned char mismatch = 0;
        for (qsizetype k = i; k < i + kBlock; ++k)
            mismatch |= static_cast<unsigned char>((data[k] == '\n') ^ (data[k - 1] == '\r'));
        clean = mismatch == 0;
    }
    for (; clean && i < size; ++i)
        clean = (data[i] == '\n') == (data[i - 1] == '\r');
    if (clean)
        return bytes;

    QByteArray out;
    out.reserve(size + size / 16);
    linebreaks::appendCrLf(out, bytes.constData(), size);
    return out;
}

QString Entry::fileName() const
{
    return binary ? title.left(title.size() - markerLength(kBinaryMark)) : title;
}

QByteArray Entry::installBytes() const
{
    if (binary)
        return decodeBase64(content).value_or(QByteArray());
    QByteArray bytes;
    bytes.reserve(content.size() + 2);
    bytes.append(content).append("\r\n");
    return bytes;
}

qint64 Entry::installSize() const
{
    if (size >= 0)
        return size;
    return binary ? installBytes().size() : content.size() + 2;
}

QString backupPathFor(const QString &programFolder, const QString &title)
{
    QString name = hasBinaryMark(title) ? title.left(title.size() - markerLength(kBinaryMark)) : title;
    const qsizetype cut = qMax(name.lastIndexOf(QLatin1Char('\\')), name.lastIndexOf(QLatin1Char('/')));
    name = name.mid(cut + 1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    return programFolder + folders::kBackupBrx + name;
}

} // namespace brx
