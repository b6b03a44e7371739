// veldrin-brx: list, build, unpack, check and install BRX packages from the command line.
// Paths on the command line are host paths; the install paths inside a package are Windows
// paths and go through the same mapping as the program's own installs.
#include "installer/Brx.h"
#include "platform/FileIO.h"
#include "platform/WinPath.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>
#include <unistd.h>

namespace {

enum Exit { Ok = 0, Refused = 1, Usage = 2 };

// Large packages report progress; small ones would only flicker.
constexpr int kProgressEntries = 50;
constexpr qsizetype kProgressBytes = 8 * 1024 * 1024;

void out(const QString &line) { std::fprintf(stdout, "%s\n", qPrintable(line)); }
void err(const QString &line) { std::fprintf(stderr, "veldrin-brx: %s\n", qPrintable(line)); }

int usage(const QString &why)
{
    err(why + QStringLiteral(" (see --help)"));
    return Usage;
}

// The package is read in two passes, never whole: the first checks every entry and notes where
// it lies, the second fetches one entry at a time. It is read, not mapped: a mapping would
// fault if another program truncated the file while it installs.
bool openPackage(brx::PackageReader &reader, const QString &hostPath)
{
    QString why;
    if (reader.open(hostPath, &why))
        return true;
    err(QStringLiteral("%1: cannot be read (%2)").arg(hostPath, why));
    return false;
}

// Scans the whole package; says what is wrong with it in one line when it cannot be used.
std::optional<brx::ReadResult> readWhole(brx::PackageReader &reader, const QString &hostPath)
{
    if (!openPackage(reader, hostPath))
        return std::nullopt;
    QString why;
    brx::ReadResult read = reader.scan(&why);
    if (!why.isEmpty()) {
        err(QStringLiteral("%1: cannot be read (%2)").arg(hostPath, why));
        return std::nullopt;
    }
    if (!read.valid()) {
        err(QStringLiteral("%1: %2").arg(hostPath, brx::kNotValidMessage));
        return std::nullopt;
    }
    if (read.error) {
        err(QStringLiteral("%1: entry %2 is damaged: %3").arg(hostPath).arg(read.error->entry).arg(read.error->reason));
        return std::nullopt;
    }
    return read;
}

QString folderAsWindows(const QString &hostFolder)
{
    QString windows = winpath::fromHost(QFileInfo(hostFolder).absoluteFilePath());
    if (!windows.endsWith(QLatin1Char('\\')))
        windows += QLatin1Char('\\');
    return windows;
}

int list(const QString &package)
{
    brx::PackageReader reader;
    const auto read = readWhole(reader, package);
    if (!read)
        return Refused;
    for (const brx::Entry &e : read->entries)
        out(QStringLiteral("%1\t%2\t%3\t%4")
                .arg(e.installPath, e.title)
                .arg(e.installSize())
                .arg(e.binary ? QStringLiteral("binary") : QStringLiteral("text")));
    return Ok;
}

int verify(const QString &package)
{
    brx::PackageReader reader;
    const auto read = readWhole(reader, package);
    if (!read)
        return Refused;
    out(QStringLiteral("%1: %2 entries, all whole").arg(package).arg(read->count));
    return Ok;
}

int create(const QString &package, const QStringList &pairs)
{
    if (pairs.isEmpty())
        return usage(QStringLiteral("create needs at least one SOURCE=INSTALLPATH"));
    struct Source { QString path, installPath; };
    QList<Source> sources;
    for (const QString &pair : pairs) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        if (eq <= 0 || eq == pair.size() - 1)
            return usage(QStringLiteral("%1: expected SOURCE=INSTALLPATH").arg(pair));
        sources.append({pair.left(eq), pair.mid(eq + 1)});
    }
    brx::PackageFile built(winpath::fromHost(QFileInfo(package).absoluteFilePath()));
    QByteArray content; // one buffer for every source: no fresh memory per file
    for (const Source &source : sources) {
        QFile file(source.path);
        QString why;
        // Asked only when the open fails: a look at every source first cost a call per file.
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            const bool folder = QFileInfo(source.path).isDir();
            if (folder)
                why = QStringLiteral("it is a folder");
            err(QStringLiteral("%1: cannot be read (%2); no package was written")
                    .arg(source.path, folder ? why : file.errorString()));
            return Refused;
        }
        if (file.isSequential())
            content = file.readAll();
        else
            content.resize(file.size());
        if (!file.isSequential() && file.read(content.data(), content.size()) != content.size()) {
            err(QStringLiteral("%1: cannot be read (%2); no package was written").arg(source.path, file.errorString()));
            return Refused;
        }
        if (!built.add(source.installPath, QFileInfo(source.path).fileName(), content, &why)) {
            err(QStringLiteral("%1: cannot be added (%2); no package was written").arg(source.path, why));
            return Refused;
        }
    }
    QString why;
    if (!built.save(&why)) {
        err(QStringLiteral("%1: cannot be written (%2)").arg(package, why));
        return Refused;
    }
    return Ok;
}

int extract(const QString &package, const QString &dir)
{
    if (!QFileInfo(dir).isDir()) {
        err(QStringLiteral("%1: is not a folder").arg(dir));
        return Refused;
    }
    brx::PackageReader reader;
    const auto read = readWhole(reader, package);
    if (!read)
        return Refused;
    int skipped = 0;
    QByteArray bytes;
    for (const brx::Entry &e : read->entries) {
        // The backup rule gives the bare name, or nothing for a name that would leave DIR.
        const QString name = winpath::bareFileName(brx::backupPathFor(QString(), e.title));
        if (name.isEmpty()) {
            err(QStringLiteral("%1: entry titled \"%2\" has no usable file name; skipped").arg(package, e.title));
            ++skipped;
            continue;
        }
        QSaveFile file(QDir(dir).filePath(name));
        QString why;
        if (!reader.entryBytes(e, bytes, &why)) {
            err(QStringLiteral("%1: cannot be read (%2)").arg(package, why));
            return Refused;
        }
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
            err(QStringLiteral("%1: cannot be written (%2)").arg(file.fileName(), file.errorString()));
            return Refused;
        }
        out(file.fileName());
    }
    return skipped ? Refused : Ok;
}

int install(const QString &package, const QCommandLineParser &args)
{
    if (!args.isSet(QStringLiteral("program-folder")))
        return usage(QStringLiteral("install needs --program-folder"));
    const QString programHost = args.value(QStringLiteral("program-folder"));
    if (!QFileInfo(programHost).isDir()) {
        err(QStringLiteral("%1: is not a folder").arg(programHost));
        return Refused;
    }
    brx::PackageReader reader;
    if (!openPackage(reader, package))
        return Refused;

    brx::InstallOptions options;
    options.programFolder = folderAsWindows(programHost);
    if (args.isSet(QStringLiteral("game-folder")))
        options.gameFolder = folderAsWindows(args.value(QStringLiteral("game-folder")));
    options.dryRun = args.isSet(QStringLiteral("dry-run"));
    const bool yes = args.isSet(QStringLiteral("yes"));
    options.confirmOutside = [yes](const QStringList &) { return yes; };
    const bool big = QFileInfo(package).size() >= kProgressBytes || reader.scan().count >= kProgressEntries;
    // A terminal sees one line counting up; a log gets a line every tenth of the way.
    const bool terminal = ::isatty(STDERR_FILENO);
    int shown = -1;
    if (big && !options.dryRun)
        options.onProgress = [&shown, terminal](float value) {
            const int now = terminal ? int(value) : int(value) / 10 * 10;
            if (now == shown)
                return;
            shown = now;
            std::fprintf(stderr, terminal ? "\rinstalling %3d%%" : "installing %3d%%\n", shown);
            if (terminal && shown >= 100)
                std::fputc('\n', stderr);
        };

    const brx::InstallResult result = brx::installPackage(reader, options);
    switch (result.outcome) {
    case brx::InstallResult::Unreadable:
        err(QStringLiteral("%1: cannot be read (%2)").arg(package, result.failure));
        return Refused;
    case brx::InstallResult::NotValid:
        err(QStringLiteral("%1: %2").arg(package, brx::kNotValidMessage));
        return Refused;
    case brx::InstallResult::Damaged:
        err(QStringLiteral("%1: entry %2 is damaged: %3; nothing was installed")
                .arg(package).arg(result.damage->entry).arg(result.damage->reason));
        return Refused;
    case brx::InstallResult::Declined:
        err(QStringLiteral("%1: writes outside the game and program folders (%2); nothing was installed, "
                           "--yes installs it as written")
                .arg(package, result.outside.join(QLatin1String(", "))));
        return Refused;
    case brx::InstallResult::WriteFailed:
        if (terminal && shown >= 0 && shown < 100)
            std::fputc('\n', stderr);
        err(QStringLiteral("%1: %2").arg(package, result.message));
        return Refused;
    case brx::InstallResult::Installed:
        break;
    }
    if (options.dryRun) {
        for (const brx::PlannedWrite &w : result.writes)
            out(QStringLiteral("%1\t%2\t%3\t%4")
                    .arg(w.kind == brx::PlannedWrite::EntryFile ? QStringLiteral("write") : QStringLiteral("backup"),
                         winpath::toHost(w.path), w.path)
                    .arg(w.size));
        for (const QString &path : result.outside)
            out(QStringLiteral("outside\t%1\t%2").arg(winpath::toHost(path), path));
        if (!result.outside.isEmpty() && !yes) {
            err(QStringLiteral("%1: writes outside the game and program folders; it would be refused without --yes")
                    .arg(package));
            return Refused;
        }
        return Ok;
    }
    for (const QString &failure : result.backupFailures)
        err(QStringLiteral("backup copy not written: %1").arg(failure));
    out(QStringLiteral("%1: installed %2 entries").arg(package).arg(result.count));
    return Ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("veldrin-brx"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.90"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists, builds, unpacks, checks and installs Black & White BRX packages.\n\n"
        "Commands:\n"
        "  list PKG                        install path, title, size and form of each entry\n"
        "  create PKG SOURCE=INSTALLPATH...  build a package (INSTALLPATH is a Windows path)\n"
        "  extract PKG DIR                 write each entry's content into DIR by its title\n"
        "  install PKG --program-folder DIR [--game-folder G] [--dry-run] [--yes]\n"
        "                                  install all or nothing, backups in DIR/Backup/brx\n"
        "  verify PKG                      say whether every entry is whole\n\n"
        "Exit status: 0 done, 1 package damaged or refused, 2 wrong usage."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOption({QStringLiteral("program-folder"), QStringLiteral("Veldrin's folder (host path)."), QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("game-folder"), QStringLiteral("The game's folder (host path)."), QStringLiteral("G")});
    parser.addOption({QStringLiteral("dry-run"), QStringLiteral("List what install would write; write nothing.")});
    parser.addOption({QStringLiteral("yes"), QStringLiteral("Install entries outside the game and program folders.")});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("list, create, extract, install or verify"));

    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(Ok);
    if (parser.isSet(version))
        parser.showVersion();

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usage(QStringLiteral("no command given"));
    const QString command = args.first();
    const bool installOptions = parser.isSet(QStringLiteral("program-folder")) || parser.isSet(QStringLiteral("game-folder"))
        || parser.isSet(QStringLiteral("dry-run")) || parser.isSet(QStringLiteral("yes"));
    if (installOptions && command != QLatin1String("install"))
        return usage(QStringLiteral("%1 takes no install options").arg(command));

    auto needs = [&](int count) { return args.size() == count + 1; };
    if (command == QLatin1String("list") && needs(1))
        return list(args.at(1));
    if (command == QLatin1String("verify") && needs(1))
        return verify(args.at(1));
    if (command == QLatin1String("extract") && needs(2))
        return extract(args.at(1), args.at(2));
    if (command == QLatin1String("install") && needs(1))
        return install(args.at(1), parser);
    if (command == QLatin1String("create") && args.size() >= 2)
        return create(args.at(1), args.mid(2));
    if (QStringList{QStringLiteral("list"), QStringLiteral("verify"), QStringLiteral("extract"), QStringLiteral("install"),
                    QStringLiteral("create")}
            .contains(command))
        return usage(QStringLiteral("%1: wrong number of arguments").arg(command));
    return usage(QStringLiteral("unknown command \"%1\"").arg(command));
}
