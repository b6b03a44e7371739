// Installing a package all or nothing: plan every write from the whole package, ask once about
// paths outside the player's folders, then write in file order while a journal keeps the old
// bytes of every file touched so a failure can put the game back exactly as it was.
#include "installer/Brx.h"
#include "installer/HostPaths.h"

#include "platform/FileIO.h"
#include "platform/Prompts.h"
#include "platform/WinPath.h"
#include "shell/Modual1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <memory>

namespace brx {

bool Writer::write(const QString &windowsPath, const QByteArray &bytes, const QByteArray &tail, QString *error)
{
    return fileio::writeBytes(windowsPath, tail.isEmpty() ? bytes : bytes + tail, error);
}

std::optional<QByteArray> Writer::read(const QString &windowsPath, QString *error)
{
    return fileio::readBytes(windowsPath, error);
}

bool Writer::exists(const QString &windowsPath) { return fileio::exists(windowsPath); }

bool Writer::remove(const QString &windowsPath, QString *error)
{
    QFile file(winpath::toHost(windowsPath));
    if (file.remove())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

namespace {

// The old state of every file a package touches, taken the first time it is touched. Old
// contents stay in memory up to a limit and go to a private temporary folder beyond it, so a
// huge reinstall does not hold two copies of the game in memory.
class Journal
{
public:
    Journal(Writer &writer, HostPaths &paths) : m_writer(writer), m_paths(paths) {}

    // Records the file's state before its first write. False when an existing file cannot be
    // read: writing over it could then not be undone.
    bool keep(const QString &windowsPath, QString *error)
    {
        const QString key = QDir::cleanPath(m_paths.toHost(windowsPath));
        if (m_seen.contains(key))
            return true;
        Record record;
        record.path = windowsPath;
        if (m_writer.exists(windowsPath)) {
            QString why;
            const auto old = m_writer.read(windowsPath, &why);
            if (!old) {
                if (error)
                    *error = QStringLiteral("its present content could not be kept aside (%1)").arg(why);
                return false;
            }
            record.existed = true;
            if (!stash(record, *old, error))
                return false;
        }
        m_seen.insert(key);
        m_records.append(record);
        return true;
    }

    // Puts every file back, last touched first. Returns the paths that could not be restored.
    QStringList rollBack()
    {
        QStringList failures;
        for (auto it = m_records.crbegin(); it != m_records.crend(); ++it) {
            QString why;
            bool ok = true;
            if (!it->existed) {
                ok = !m_writer.exists(it->path) || m_writer.remove(it->path, &why);
            } else {
                const auto old = unstash(*it, &why);
                ok = old && m_writer.write(it->path, *old, {}, &why);
            }
            if (!ok)
                failures << QStringLiteral("%1 (%2)").arg(it->path, why);
        }
        return failures;
    }

private:
    static constexpr qint64 kMemoryLimit = qint64(256) * 1024 * 1024;

    struct Record
    {
        QString path;
        bool existed = false;
        QByteArray bytes;     // in memory, or
        QString spillFile;    // in the temporary folder
    };

    bool stash(Record &record, const QByteArray &old, QString *error)
    {
        if (m_inMemory + old.size() <= kMemoryLimit) {
            record.bytes = old;
            m_inMemory += old.size();
            return true;
        }
        if (!m_spill)
            m_spill = std::make_unique<QTemporaryDir>();
        record.spillFile = m_spill->filePath(QString::number(m_records.size()));
        QFile file(record.spillFile);
        if (!m_spill->isValid() || !file.open(QIODevice::WriteOnly) || file.write(old) != old.size()) {
            if (error)
                *error = QStringLiteral("its present content could not be kept aside (%1)").arg(file.errorString());
            return false;
        }
        return true;
    }

    static std::optional<QByteArray> unstash(const Record &record, QString *error)
    {
        if (record.spillFile.isEmpty())
            return record.bytes;
        QFile file(record.spillFile);
        if (!file.open(QIODevice::ReadOnly)) {
            if (error)
                *error = file.errorString();
            return std::nullopt;
        }
        return file.readAll();
    }

    Writer &m_writer;
    HostPaths &m_paths;
    QSet<QString> m_seen;
    QList<Record> m_records;
    qint64 m_inMemory = 0;
    std::unique_ptr<QTemporaryDir> m_spill;
};

// The real file system, with every path mapped through one cache for the whole install.
class HostWriter : public Writer
{
public:
    explicit HostWriter(HostPaths &paths) : m_paths(paths) {}

    bool write(const QString &windowsPath, const QByteArray &bytes, const QByteArray &tail, QString *error) override
    {
        if (windowsPath.isEmpty() || windowsPath.endsWith(QLatin1Char('\\')) || windowsPath.endsWith(QLatin1Char('/'))) {
            if (error)
                *error = QStringLiteral("no file name");
            return false;
        }
        const QString host = m_paths.toHost(windowsPath);
        if (!writeHostFile(host, bytes, tail, error))
            return false;
        m_paths.created(host);
        return true;
    }

    std::optional<QByteArray> read(const QString &windowsPath, QString *error) override
    {
        const QString host = m_paths.toHost(windowsPath);
        QFile file(host);
        const bool folder = QFileInfo(host).isDir();
        if (folder || !file.open(QIODevice::ReadOnly)) {
            if (error)
                *error = folder ? QStringLiteral("it is a folder") : file.errorString();
            return std::nullopt;
        }
        return file.readAll();
    }

    bool exists(const QString &windowsPath) override
    {
        return !windowsPath.isEmpty() && m_paths.exists(windowsPath);
    }

    bool remove(const QString &windowsPath, QString *error) override
    {
        QFile file(m_paths.toHost(windowsPath));
        if (file.remove()) {
            m_paths.removed(file.fileName());
            return true;
        }
        if (error)
            *error = file.errorString();
        return false;
    }

private:
    HostPaths &m_paths;
};

QString cleanHostFolder(const QString &windowsFolder)
{
    if (windowsFolder.isEmpty())
        return {};
    QString root = QDir::cleanPath(winpath::toHost(windowsFolder));
    return root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
}

bool insideFolder(const QString &hostPath, const QString &hostFolder)
{
    return !hostFolder.isEmpty() && hostPath.size() > hostFolder.size()
        && hostPath.startsWith(hostFolder, Qt::CaseInsensitive);
}

QStringList outsidePaths(const QList<Entry> &entries, const InstallOptions &options, HostPaths &paths)
{
    const QString game = cleanHostFolder(options.gameFolder);
    const QString program = cleanHostFolder(options.programFolder);
    QStringList outside;
    QSet<QString> seen;
    for (const Entry &entry : entries) {
        const QString host = entry.installPath.isEmpty() ? QString() : QDir::cleanPath(paths.toHost(entry.installPath));
        if (!insideFolder(host, game) && !insideFolder(host, program) && !seen.contains(entry.installPath)) {
            seen.insert(entry.installPath);
            outside << entry.installPath;
        }
    }
    return outside;
}

} // namespace

bool isInside(const QString &windowsPath, const QString &folder)
{
    return !windowsPath.isEmpty() && insideFolder(QDir::cleanPath(winpath::toHost(windowsPath)), cleanHostFolder(folder));
}

QByteArray loadPackage(const QString &windowsPath, QString *error)
{
    const auto bytes = fileio::readBytes(windowsPath, error);
    return bytes ? normalizeBreaks(*bytes) : QByteArray();
}

QString outsideQuestion(const QStringList &outside)
{
    return QStringLiteral("This package installs files outside the game folder and the program folder:\n\n%1\n\n"
                          "Install them as written? No cancels the whole package.")
        .arg(outside.join(QLatin1Char('\n')));
}

InstallResult installPackage(const QByteArray &package, const InstallOptions &options)
{
    PackageReader reader(package);
    return installPackage(reader, options);
}

InstallResult installPackage(PackageReader &package, const InstallOptions &options)
{
    InstallResult result;
    result.progress = options.progressStart;
    QString unreadable;
    const ReadResult read = package.scan(&unreadable);
    if (!unreadable.isEmpty()) {
        result.outcome = InstallResult::Unreadable;
        result.failure = unreadable;
        return result;
    }
    result.count = read.count;
    const std::optional<double> step = progressStep(read.count);
    if (options.state) {
        options.state->PackageCursor = 1;
        options.state->EntriesInstalled = 0;
        options.state->PackageEntryCount = qint16(read.count);
        if (step)
            options.state->ProgressStep = *step;
    }
    if (!read.valid()) {
        result.outcome = InstallResult::NotValid;
        result.message = kNotValidMessage;
        return result;
    }
    if (read.error) {
        result.outcome = InstallResult::Damaged;
        result.damage = read.error;
        result.message = kDamagedMessage;
        return result;
    }

    HostPaths paths;
    result.outside = outsidePaths(read.entries, options, paths);
    if (options.dryRun) {
        int k = 0;
        for (const Entry &entry : read.entries) {
            ++k;
            const qint64 size = entry.installSize();
            result.writes.append({PlannedWrite::EntryFile, k, entry.installPath, size});
            const QString backup = backupPathFor(options.programFolder, entry.title);
            if (!backup.isEmpty())
                result.writes.append({PlannedWrite::Backup, k, backup, size});
        }
        result.outcome = InstallResult::Installed;
        return result;
    }
    if (!result.outside.isEmpty() && !(options.confirmOutside && options.confirmOutside(result.outside))) {
        result.outcome = InstallResult::Declined;
        return result;
    }

    HostWriter fallback(paths);
    Writer &writer = options.writer ? *options.writer : fallback;
    Journal journal(writer, paths);
    auto moveBar = [&] {
        result.progress = advance(result.progress, *step);
        if (options.onProgress)
            options.onProgress(result.progress);
    };

    QByteArray bytes; // one entry's bytes at a time, the same memory for each
    int k = 0;
    for (const Entry &entry : read.entries) {
        ++k;
        if (options.state) {
            options.state->EntryInstallPath = entry.installPath;
            options.state->EntryTitle = entry.title;
        }
        QString why;
        const bool read = package.entryBytes(entry, bytes, &why);
        const QByteArray tail;
        const qint64 size = bytes.size();
        if (!read || !journal.keep(entry.installPath, &why) || !writer.write(entry.installPath, bytes, tail, &why)) {
            result.outcome = InstallResult::WriteFailed;
            result.failedPath = entry.installPath;
            result.failure = why;
            result.rollbackFailures = journal.rollBack();
            result.rolledBack = result.rollbackFailures.isEmpty();
            result.message = QStringLiteral("The package was not installed: %1 could not be written (%2).")
                                 .arg(entry.installPath, why);
            if (result.rolledBack)
                result.message += QStringLiteral(" Every file it had written was put back as it was.");
            else
                result.message += QStringLiteral(" These files could not be put back: %1")
                                      .arg(result.rollbackFailures.join(QLatin1String("; ")));
            return result;
        }
        result.writes.append({PlannedWrite::EntryFile, k, entry.installPath, size});
        if (options.state)
            ++options.state->EntriesInstalled;
        moveBar();

        const QString backup = backupPathFor(options.programFolder, entry.title);
        if (!backup.isEmpty()) {
            if (journal.keep(backup, &why) && writer.write(backup, bytes, tail, &why))
                result.writes.append({PlannedWrite::Backup, k, backup, size});
            else
                result.backupFailures << QStringLiteral("%1: %2").arg(backup, why);
        }
        moveBar();
    }
    result.outcome = InstallResult::Installed;
    if (!result.backupFailures.isEmpty())
        result.message = QStringLiteral("The package was installed, but these backup copies could not be written:\n%1")
                             .arg(result.backupFailures.join(QLatin1Char('\n')));
    return result;
}

InstallResult installPackage(const QString &package, const InstallOptions &options)
{
    return installPackage(normalizeBreaks(fileio::encode1252(package)), options);
}

InstallResult installPackageFile(const QString &packagePath, InstallOptions options, Prompts &prompts,
                                 QString *loadedText)
{
    const QByteArray package = loadPackage(packagePath);
    if (loadedText)
        *loadedText = fileio::decode1252(package);
    if (!options.confirmOutside)
        options.confirmOutside = [&prompts](const QStringList &outside) {
            return prompts.question(outsideQuestion(outside));
        };
    InstallResult result = installPackage(package, options);
    if (!result.message.isEmpty())
        prompts.message(result.message);
    return result;
}

} // namespace brx
