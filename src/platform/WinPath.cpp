#include "platform/WinPath.h"
#include "platform/HostFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace winpath {

QString bareFileName(const QString &path)
{
    const int cut = path.lastIndexOf(QLatin1Char('\\'));
    return cut < 0 ? path : path.mid(cut + 1);
}

#ifdef Q_OS_WIN
QString prefix() { return {}; }
QString noPrefixNotice() { return {}; }
QString driveRoot(QChar letter) { return QString(letter.toUpper()) + QLatin1String(":/"); }
QString currentDirectoryOfDriveC() { return QDir::toNativeSeparators(QDir::currentPath()); }
QString toHost(const QString &windowsPath) { return windowsPath; }
QString fromHost(const QString &hostPath) { return QDir::toNativeSeparators(hostPath); }
#else

namespace {

const char kUnixPrefix[] = "\\\\?\\unix\\";

QString withoutTrailingSlash(QString p)
{
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p;
}

// Where a symbolic link points, made absolute; empty when the path is no link.
QString linkTarget(const QString &path)
{
    char buffer[4096];
    const ssize_t size = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
    if (size <= 0 || size >= ssize_t(sizeof buffer))
        return {};
    QString target = QFile::decodeName(QByteArray(buffer, int(size)));
    if (!target.startsWith(QLatin1Char('/')))
        target = path.left(path.lastIndexOf(QLatin1Char('/')) + 1) + target;
    return withoutTrailingSlash(QDir::cleanPath(target));
}

// Wine makes drive_c and dosdevices together; a prefix laid out by hand may have either.
bool looksLikePrefix(const QString &dir)
{
    return QFileInfo(dir + QLatin1String("/drive_c")).isDir() || QFileInfo(dir + QLatin1String("/dosdevices")).isDir();
}

QString homePrefix() { return QDir::homePath() + QLatin1String("/.wine"); }

bool isDriveLetter(QChar c) { return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')); }

QString driveRootIn(const QString &prefixDir, QChar letter)
{
    const QChar upper = letter.toUpper();
    if (!isDriveLetter(upper))
        return {};
    if (prefixDir.isEmpty())
        return upper == QLatin1Char('C') || upper == QLatin1Char('Z') ? QStringLiteral("/") : QString();
    const QString devices = prefixDir + QLatin1String("/dosdevices");
    const QString link = devices + QLatin1Char('/') + upper.toLower() + QLatin1Char(':');
    // Every path mapping asks for its drive, so this stays at one readlink: the target is
    // not resolved further (fromHost compares real places itself). A link to a folder that is
    // gone still says where the drive is; files there fail to open, as under Wine.
    const QString target = linkTarget(link);
    if (!target.isEmpty())
        return target;
    if (QFileInfo(link).isDir())
        return hostfs::realPlace(link);
    if (upper == QLatin1Char('C'))
        return prefixDir + QLatin1String("/drive_c");
    // Wine creates dosdevices with c: and z: (the root) the first time it opens a prefix.
    if (upper == QLatin1Char('Z') && !QFileInfo(devices).isDir())
        return QStringLiteral("/");
    return {};
}

// Appends one component, preferring an exact match, then a case-insensitive one, as Wine does.
QString appendComponent(const QString &base, const QString &name)
{
    const QString joined = base.endsWith(QLatin1Char('/')) ? base + name : base + QLatin1Char('/') + name;
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return joined;
    if (QFileInfo::exists(joined))
        return joined;
    QDir dir(base.isEmpty() ? QStringLiteral("/") : base);
    if (dir.exists()) {
        const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &entry : entries) {
            if (entry.compare(name, Qt::CaseInsensitive) == 0)
                return base.endsWith(QLatin1Char('/')) ? base + entry : base + QLatin1Char('/') + entry;
        }
    }
    return joined;
}

QString resolveUnder(const QString &root, const QString &rest)
{
    QString host = withoutTrailingSlash(root);
    // Every path mapping passes here, the first ones during start-up: a plain split, not a
    // pattern, whose engine would be set up for it.
    const QStringList parts =
        QString(rest).replace(QLatin1Char('/'), QLatin1Char('\\')).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const QString &part : parts)
        host = appendComponent(host, part);
    if (host.isEmpty())
        host = QStringLiteral("/");
    // A trailing separator names a folder; keep it so that writing to it fails as on Windows.
    if (!rest.isEmpty() && (rest.endsWith(QLatin1Char('\\')) || rest.endsWith(QLatin1Char('/')))
        && !host.endsWith(QLatin1Char('/')))
        host += QLatin1Char('/');
    return host;
}

} // namespace

QString prefix()
{
    QString fromEnv = withoutTrailingSlash(qEnvironmentVariable("WINEPREFIX"));
    if (!fromEnv.isEmpty() && !QDir::isAbsolutePath(fromEnv))
        fromEnv = QDir::currentPath() + QLatin1Char('/') + fromEnv;
    if (!fromEnv.isEmpty() && looksLikePrefix(fromEnv))
        return fromEnv;
    const QString home = homePrefix();
    return looksLikePrefix(home) ? home : QString();
}

QString noPrefixNotice()
{
    if (!prefix().isEmpty())
        return {};
    const QString env = qEnvironmentVariable("WINEPREFIX");
    const QString where = env.isEmpty()
        ? QStringLiteral("WINEPREFIX is not set and %1 does not exist").arg(homePrefix())
        : QStringLiteral("WINEPREFIX names %1, which holds no Wine prefix, and %2 does not exist").arg(env, homePrefix());
    return QStringLiteral("No Wine prefix found (%1), so drive C: stands for the root folder \"/\". "
                          "Start Wine once (wineboot) and run \"veldrin --setup\".")
        .arg(where);
}

QString driveRoot(QChar letter) { return driveRootIn(prefix(), letter); }

QString fromHost(const QString &hostPath)
{
    const QString real = hostfs::realPlace(hostPath);
    const QString prefixDir = prefix();
    QString bestLetter;
    QString bestRoot;
    const QString letters = QStringLiteral("CZABDEFGHIJKLMNOPQRSTUVWXY");
    for (const QChar letter : letters) {
        const QString root = hostfs::realPlace(driveRootIn(prefixDir, letter));
        if (root.isEmpty())
            continue;
        const bool inside = root == QLatin1String("/") || real == root || real.startsWith(root + QLatin1Char('/'));
        if (inside && (bestLetter.isEmpty() || root.size() > bestRoot.size())) {
            bestLetter = letter;
            bestRoot = root;
        }
    }
    if (bestLetter.isEmpty()) {
        // Wine's own name for a place no drive reaches; toHost() reads it back.
        QString onRoot = real;
        onRoot.replace(QLatin1Char('/'), QLatin1Char('\\'));
        return QLatin1String(kUnixPrefix) + onRoot.mid(1);
    }
    QString rest = bestRoot == QLatin1String("/") ? real.mid(1) : real.mid(bestRoot.size() + 1);
    rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return bestLetter + QLatin1String(":\\") + rest;
}
QString currentDirectoryOfDriveC()
{
    const QString current = fromHost(QDir::currentPath());
    if (current.startsWith(QLatin1String("C:"), Qt::CaseInsensitive))
        return current;
    return QStringLiteral("C:\\");
}

QString toHost(const QString &windowsPath)
{
    const QString &p = windowsPath;
    if (p.startsWith(QLatin1String(kUnixPrefix), Qt::CaseInsensitive)) {
        QString host = p.mid(int(sizeof kUnixPrefix) - 2);
        host.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return host;
    }
    if (p.size() >= 2 && isDriveLetter(p.at(0)) && p.at(1) == QLatin1Char(':')) {
        QString root = driveRoot(p.at(0));
        if (root.isEmpty())
            root = QStringLiteral("/nonexistent-drive-") + p.at(0).toUpper();
        QString rest = p.mid(2);
        // "C:name" is relative to the drive's current directory; with one current directory
        // per process that is the root unless C: holds the current directory.
        if (!rest.startsWith(QLatin1Char('\\')) && !rest.startsWith(QLatin1Char('/'))
            && p.at(0).toUpper() == QLatin1Char('C')) {
            const QString current = currentDirectoryOfDriveC();
            return toHost(current.endsWith(QLatin1Char('\\')) ? current + rest : current + QLatin1Char('\\') + rest);
        }
        return resolveUnder(root, rest);
    }
    if (p.startsWith(QLatin1Char('\\')) || p.startsWith(QLatin1Char('/'))) {
        const QString current = fromHost(QDir::currentPath());
        const QString root = current.size() >= 2 && current.at(1) == QLatin1Char(':') ? driveRoot(current.at(0)) : QStringLiteral("/");
        return resolveUnder(root.isEmpty() ? QStringLiteral("/") : root, p);
    }
    return resolveUnder(QDir::currentPath(), p);
}

#endif

} // namespace winpath
