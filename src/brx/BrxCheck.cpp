#include "brx/BrxCheck.h"

#include "brx/Brx.h"
#include "brx/BrxSyntax.h"

#include <QFile>

#include <optional>

namespace brx {

namespace {

bool isBreak(char c) { return c == '\r' || c == '\n'; }

constexpr qint64 kPiece = qint64(1) << 20;

// How many bytes that are not line breaks stand between an entry's end marker and the next
// begin marker, in the file stretch [from, to) that follows the entry's content. The writer
// leaves nothing there but line breaks, so any other text is text an entry lost. A stretch that
// does not start with the end marker was laid out by hand: nothing to compare with.
std::optional<qint64> strayAfter(QFile &file, qint64 from, qint64 to)
{
    const QByteArray end(kEnd), begin(kBegin);
    if (!file.seek(from))
        return std::nullopt;
    if (to - from < end.size() || file.read(end.size()) != end)
        return 0;
    qint64 stray = 0;
    QByteArray carry; // the last bytes of a piece, where a begin marker may start
    for (qint64 at = from + end.size(); at < to;) {
        const QByteArray piece = file.read(qMin(kPiece, to - at));
        if (piece.isEmpty())
            return std::nullopt;
        at += piece.size();
        const QByteArray window = carry + piece;
        const qsizetype found = window.indexOf(begin);
        const qsizetype stop = found < 0 ? window.size() - qMin<qsizetype>(window.size(), begin.size() - 1) : found;
        for (qsizetype i = 0; i < stop; ++i)
            stray += isBreak(window.at(i)) ? 0 : 1;
        if (found >= 0)
            return stray;
        carry = window.mid(stop);
    }
    for (const char c : carry)
        stray += isBreak(c) ? 0 : 1;
    return stray;
}

QString bytesText(qint64 n) { return n == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(n); }

} // namespace

QList<Doubt> doubtsAbout(PackageReader &reader, const ReadResult &read, const QString &hostPath, QString *error)
{
    QList<Doubt> doubts;
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    QByteArray bytes;
    for (int k = 0; k < read.entries.size(); ++k) {
        const Entry &entry = read.entries.at(k);
        if (!entry.binary) {
            if (!reader.entryBytes(entry, bytes, error))
                return {};
            if (const char *marker = markerIn(bytes))
                doubts.append({k + 1, QStringLiteral("its text holds %1").arg(QLatin1String(marker))});
        }
        const qint64 to = k + 1 < read.entries.size() ? read.entries.at(k + 1).offset : file.size();
        const std::optional<qint64> stray = strayAfter(file, entry.offset + entry.length, to);
        if (!stray) {
            if (error)
                *error = kChangedWhileRead;
            return {};
        }
        if (*stray > 0)
            doubts.append({k + 1, QStringLiteral("%1 after its end marker belong to no entry: its text was probably cut "
                                                 "at an %2 inside it")
                                      .arg(bytesText(*stray), QLatin1String(kEnd))});
    }
    return doubts;
}

} // namespace brx
