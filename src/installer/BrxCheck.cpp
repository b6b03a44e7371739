#include "installer/BrxCheck.h"

#include "installer/Brx.h"
#include "platform/FileIO.h"

#include <cstring>

namespace brx {

namespace {

bool isBreak(char c) { return c == '\r' || c == '\n'; }

// Walks the package as the writer lays it out, entry after entry, and returns where it stops
// matching: the writer leaves nothing between entries but line breaks, so any other text there
// is text an entry lost.
class Walk
{
public:
    explicit Walk(const QByteArray &bytes) : m_bytes(bytes) {}

    bool expect(const QByteArray &piece)
    {
        if (m_bytes.size() - m_at < piece.size()
            || std::memcmp(m_bytes.constData() + m_at, piece.constData(), size_t(piece.size())) != 0)
            return false;
        m_at += piece.size();
        return true;
    }
    void skipBreaks()
    {
        while (m_at < m_bytes.size() && isBreak(m_bytes.at(m_at)))
            ++m_at;
    }
    // Bytes up to the next begin marker (or the end) that are not line breaks.
    qsizetype strayBeforeNextEntry() const
    {
        const qsizetype next = m_bytes.indexOf(kBegin, m_at);
        const qsizetype stop = next < 0 ? m_bytes.size() : next;
        qsizetype stray = 0;
        for (qsizetype i = m_at; i < stop; ++i)
            stray += isBreak(m_bytes.at(i)) ? 0 : 1;
        return stray;
    }
    void jumpToNextEntry()
    {
        const qsizetype next = m_bytes.indexOf(kBegin, m_at);
        m_at = next < 0 ? m_bytes.size() : next;
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_at = 0;
};

QString bytesText(qsizetype n) { return n == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(n); }

} // namespace

QList<Doubt> doubtsAbout(const QByteArray &package, const ReadResult &read)
{
    QList<Doubt> doubts;
    Walk walk(package);
    int k = 0;
    for (const Entry &entry : read.entries) {
        ++k;
        if (!entry.binary) {
            if (const char *marker = markerIn(entry.content))
                doubts.append({k, QStringLiteral("its text holds %1").arg(QLatin1String(marker))});
        }
        const QByteArray head = QByteArray(kBegin) + "\r\n" + kInstall + fileio::encode1252(entry.installPath)
            + kInstallEnd + "\r\n" + kTitle + fileio::encode1252(entry.title) + kTitleEnd;
        walk.jumpToNextEntry();
        if (!walk.expect(head) || !walk.expect(entry.content) || !walk.expect(kEnd))
            continue; // laid out by hand: nothing to compare with
        walk.skipBreaks();
        if (const qsizetype stray = walk.strayBeforeNextEntry())
            doubts.append({k, QStringLiteral("%1 after its end marker belong to no entry: its text was probably cut at "
                                             "an %2 inside it")
                                  .arg(bytesText(stray), QLatin1String(kEnd))});
    }
    return doubts;
}

} // namespace brx
