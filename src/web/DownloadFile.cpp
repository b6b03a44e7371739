#include "web/DownloadFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace downloads {

namespace {

constexpr int kMaxNameLength = 180;
constexpr int kMaxTries = 10000;

// ".tar.gz", ".tar.xz", ... count as one kind; otherwise the text from the last dot.
QString kindOf(const QString &name)
{
    static const QRegularExpression tarred(QStringLiteral("\\.tar\\.[^.]+$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = tarred.match(name);
    if (match.hasMatch())
        return match.captured(0);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.mid(dot) : QString();
}

// Names Windows (and so Wine) take for devices whatever their ending.
bool isDeviceName(const QString &name)
{
    static const QRegularExpression device(QStringLiteral("^(con|prn|aux|nul|com[0-9]|lpt[0-9])(\\..*)?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    return device.match(name).hasMatch();
}

bool takenOrBegun(const QDir &folder, const QString &candidate)
{
    const QStringList entries = folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        if (entry.startsWith(candidate, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool takenAnyCase(const QDir &folder, const QString &name)
{
    const QStringList entries = folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

enum class Moved { Done, Taken, Failed };

// Renames without ever replacing: a name taken meanwhile, even by another program, is left as
// it is and reported as taken.
Moved moveNoReplace(const QString &from, const QString &to)
{
#ifdef Q_OS_UNIX
    const QByteArray source = QFile::encodeName(from), target = QFile::encodeName(to);
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return Moved::Done;
    if (errno == EEXIST)
        return Moved::Taken;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return Moved::Failed;
#endif
    // A file system without an exclusive rename: a hard link fails on a taken name too.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return Moved::Done;
    }
    if (errno == EEXIST)
        return Moved::Taken;
    // Without links either (some mounted drives): check, then rename; only a race can lose here.
    if (QFileInfo::exists(to))
        return Moved::Taken;
    return ::rename(source.constData(), target.constData()) == 0 ? Moved::Done : Moved::Failed;
#else
    // Windows moves without replacing unless told otherwise.
    if (QFileInfo::exists(to))
        return Moved::Taken;
    return QFile::rename(from, to) ? Moved::Done : Moved::Failed;
#endif
}

} // namespace

QString folderOf(const QString &programFolder) { return programFolder + QLatin1String("Downloads\\"); }

QString safeName(const QString &suggested)
{
    QString name = suggested.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1);
    static const QRegularExpression refused(QStringLiteral("[\\x00-\\x1f\\x7f<>:\"|?*]"));
    name.remove(refused);
    static const QRegularExpression dots(QStringLiteral("\\.{2,}"));
    name.replace(dots, QStringLiteral("."));
    // Leading dots would hide the file; trailing dots and spaces Windows drops by itself.
    static const QRegularExpression edges(QStringLiteral("^[. ]+|[. ]+$"));
    name.remove(edges);
    if (name.size() > kMaxNameLength) {
        const QString kind = kindOf(name).left(kMaxNameLength / 2);
        name = name.left(kMaxNameLength - kind.size()) + kind;
    }
    if (name.isEmpty())
        return QStringLiteral("download");
    if (isDeviceName(name))
        name.prepend(QLatin1Char('_'));
    return name;
}

bool isAddOn(const QString &name)
{
    static const QRegularExpression addOn(QStringLiteral("\\.(brx|zip|7z|rar|txt|lnd|l3d|bmp|tar\\.[^.]+)$"),
                                          QRegularExpression::CaseInsensitiveOption);
    return addOn.match(name).hasMatch();
}

QString numberedName(const QString &name, int n)
{
    if (n <= 1)
        return name;
    const QString kind = kindOf(name);
    return name.left(name.size() - kind.size()) + QStringLiteral(" (%1)").arg(n) + kind;
}

bool PartFile::begin(const QString &hostFolder, const QString &suggestedName, QString *error)
{
    m_folder = hostFolder;
    m_name = safeName(suggestedName);
    m_tempName.clear();
    const QFileInfo folderInfo(hostFolder);
    if (!folderInfo.isDir()) {
        if (folderInfo.exists() || !QDir().mkdir(hostFolder)) {
            *error = QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(hostFolder));
            return false;
        }
    }
    const QDir folder(hostFolder);
    for (int n = 1; n < kMaxTries; ++n) {
        const QString candidate = QStringLiteral("%1.%2.part").arg(m_name).arg(n);
        if (takenOrBegun(folder, candidate))
            continue;
        // Made at once, so that a second download of the same name picks another.
        QFile placeholder(folder.filePath(candidate));
        if (placeholder.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            m_tempName = candidate;
            return true;
        }
    }
    *error = QStringLiteral("no free name is left for %1").arg(m_name);
    return false;
}

QString PartFile::tempPath() const { return m_tempName.isEmpty() ? QString() : QDir(m_folder).filePath(m_tempName); }

bool PartFile::finish(QString *savedPath, QString *error)
{
    if (m_tempName.isEmpty() || !QFileInfo(tempPath()).isFile()) {
        *error = QStringLiteral("the downloaded file has gone");
        return false;
    }
    const QDir folder(m_folder);
    for (int n = 1; n < kMaxTries; ++n) {
        const QString target = folder.filePath(numberedName(m_name, n));
        // Wine finds files without regard to case, so a name differing only in case is taken too.
        if (takenAnyCase(folder, QFileInfo(target).fileName()))
            continue;
        switch (moveNoReplace(tempPath(), target)) {
        case Moved::Done:
            m_tempName.clear();
            *savedPath = target;
            return true;
        case Moved::Taken:
            continue;
        case Moved::Failed:
            *error = QStringLiteral("it could not be renamed to %1").arg(QFileInfo(target).fileName());
            discard();
            return false;
        }
    }
    *error = QStringLiteral("no free name is left for %1").arg(m_name);
    discard();
    return false;
}

void PartFile::discard()
{
    if (m_tempName.isEmpty())
        return;
    QDir folder(m_folder);
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        if (entry.startsWith(m_tempName))
            folder.remove(entry);
    }
    m_tempName.clear();
}

} // namespace downloads
