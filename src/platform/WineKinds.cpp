#include "platform/WineKinds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>

namespace winekinds {

namespace {

constexpr quint16 kI386 = 0x14c;
constexpr quint16 kAmd64 = 0x8664;
// A DOS header pointing further than this is not a program anyone built.
constexpr quint32 kMaxPeOffset = 1 << 20;

QByteArray readStart(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(size);
}

// 32 or 64 for an ELF file, else 0.
int elfBits(const QString &path)
{
    const QByteArray head = readStart(path, 5);
    if (head.size() < 5 || !head.startsWith("\x7f" "ELF"))
        return 0;
    return head.at(4) == 1 ? 32 : head.at(4) == 2 ? 64 : 0;
}

// A 64-bit loader runs 32-bit programs in WoW64 when its build has the 32-bit Windows side:
// i386-windows\ntdll.dll in one of the library folders its layouts use.
bool hasWow64(const QString &loader)
{
    const QDir dir = QFileInfo(loader).dir();
    for (const char *relative : {"../lib/wine", "../lib64/wine", "../lib/x86_64-linux-gnu/wine", "../x86_64-linux-gnu/wine",
                                 "../../x86_64-linux-gnu/wine"}) {
        const QString base = QDir::cleanPath(dir.filePath(QLatin1String(relative)));
        if (QFileInfo::exists(base + QLatin1String("/i386-windows/ntdll.dll"))
            && QFileInfo::exists(base + QLatin1String("/x86_64-windows/ntdll.dll")))
            return true;
    }
    return false;
}

void addLoader(const QString &loader, WineKinds *kinds)
{
    const int bits = elfBits(loader);
    if (bits == 0)
        return;
    kinds->known = true;
    if (bits == 32) {
        kinds->runs32 = true;
        // Wine's own 32-bit loader hands 64-bit programs to wine64 beside it.
        if (elfBits(QFileInfo(loader).dir().filePath(QStringLiteral("wine64"))) == 64)
            kinds->runs64 = true;
        return;
    }
    kinds->runs64 = true;
    if (hasWow64(loader))
        kinds->runs32 = true;
}

} // namespace

qint64 headBytes(const QByteArray &dosHeader)
{
    if (dosHeader.size() < 64 || !dosHeader.startsWith("MZ"))
        return 64;
    const quint32 peAt = qFromLittleEndian<quint32>(dosHeader.constData() + 0x3C);
    return peAt > kMaxPeOffset ? 64 : qint64(peAt) + 6;
}

Machine programMachine(const QByteArray &head)
{
    if (head.size() < 64 || !head.startsWith("MZ"))
        return Machine::NotWindows;
    const quint32 peAt = qFromLittleEndian<quint32>(head.constData() + 0x3C);
    if (peAt > kMaxPeOffset || qint64(peAt) + 6 > head.size()
        || head.mid(int(peAt), 4) != QByteArray("PE\0\0", 4))
        return Machine::NotWindows;
    const quint16 machine = qFromLittleEndian<quint16>(head.constData() + peAt + 4);
    return machine == kI386 ? Machine::X86 : machine == kAmd64 ? Machine::X64 : Machine::Other;
}

WineKinds describe(const QString &wineProgram)
{
    WineKinds kinds;
    const QString real = QFileInfo(wineProgram).canonicalFilePath();
    if (real.isEmpty())
        return kinds;
    if (elfBits(real) != 0) {
        addLoader(real, &kinds);
        return kinds;
    }
    const QByteArray script = readStart(real, 64 * 1024);
    if (!script.startsWith("#!"))
        return kinds;
    // Debian's wine is a script choosing between the loaders it names; the ones installed
    // are what it can run. A script naming no loader is someone's wrapper: we cannot tell.
    static const QRegularExpression named(QStringLiteral("(/[^\\s\"'`$;|&]*/wine(64)?)(?=[\\s\"'`;|&]|$)"),
                                          QRegularExpression::MultilineOption);
    for (auto it = named.globalMatch(QString::fromLocal8Bit(script)); it.hasNext();)
        addLoader(it.next().captured(1), &kinds);
    return kinds;
}

QString cannotRun(const QByteArray &programHead, const WineKinds &wine)
{
    if (!wine.known)
        return {};
    const Machine machine = programMachine(programHead);
    if (machine == Machine::X86 && !wine.runs32)
        return QStringLiteral("it is a 32-bit Windows program, and the Wine installed here runs only 64-bit ones: "
                              "install the 32-bit part of Wine, the package wine32 (as root: dpkg --add-architecture "
                              "i386 && apt-get update && apt install wine32), then try again");
    if (machine == Machine::X64 && !wine.runs64)
        return QStringLiteral("it is a 64-bit Windows program, and the Wine installed here runs only 32-bit ones: "
                              "install the 64-bit part of Wine, the package wine64 (as root: apt install wine64), "
                              "then try again");
    return {};
}

} // namespace winekinds
