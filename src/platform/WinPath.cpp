#include "platform/WinPath.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace winpath {

QString bareFileName(const QString &path)
{
    const int cut = path.lastIndexOf(QLatin1Char('\\'));
    return cut < 0 ? path : path.mid(cut + 1);
}

#ifdef Q_OS_WIN
QString driveRoot(QChar letter) { return QString(letter.toUpper()) + QLatin1String(":/"); }
QString currentDirectoryOfDriveC() { return QDir::toNativeSeparators(QDir::currentPath()); }
QString toHost(const QString &windowsPath) { return windowsPath; }
QString fromHost(const QString &hostPath) { return QDir::toNativeSeparators(hostPath); }
#else

namespace {

QString winePrefix()
{
    const QString prefix = qEnvironmentVariable("WINEPREFIX");
    if (!prefix.isEmpty() && QFileInfo(prefix + QLatin1String("/drive_c")).isDir())
        return prefix;
    const QString home = QDir::homePath() + QLatin1String("/.wine");
    if (QFileInfo(home + QLatin1String("/drive_c")).isDir())
        return home;
    return {};
}

QString withoutTrailingSlash(QString p)
{
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p;
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
    static const QRegularExpression separators(QStringLiteral("[\\\\/]"));
    const QStringList parts = rest.split(separators, Qt::SkipEmptyParts);
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

bool isDriveLetter(QChar c) { return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')); }

} // namespace

QString driveRoot(QChar letter)
{
    const QChar upper = letter.toUpper();
    const QString prefix = winePrefix();
    if (upper == QLatin1Char('Z'))
        return QStringLiteral("/");
    if (upper == QLatin1Char('C'))
        return prefix.isEmpty() ? QStringLiteral("/") : prefix + QLatin1String("/drive_c");
    if (prefix.isEmpty())
        return {};
    const QFileInfo link(prefix + QLatin1String("/dosdevices/") + QChar(upper.toLower()) + QLatin1Char(':'));
    if (link.exists())
        return link.canonicalFilePath();
    return {};
}

QString fromHost(const QString &hostPath)
{
    const QString absolute = QDir::cleanPath(QFileInfo(hostPath).absoluteFilePath());
    QString bestLetter;
    QString bestRoot;
    const QString letters = QStringLiteral("CZABDEFGHIJKLMNOPQRSTUVWXY");
    for (const QChar letter : letters) {
        const QString root = withoutTrailingSlash(driveRoot(letter));
        if (root.isEmpty())
            continue;
        const bool inside = root == QLatin1String("/") || absolute == root || absolute.startsWith(root + QLatin1Char('/'));
        if (inside && (bestLetter.isEmpty() || root.size() > bestRoot.size())) {
            bestLetter = letter;
            bestRoot = root;
        }
    }
    if (bestLetter.isEmpty())
        return absolute;
    QString rest = bestRoot == QLatin1String("/") ? absolute.mid(1) : absolute.mid(bestRoot.size() + 1);
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
