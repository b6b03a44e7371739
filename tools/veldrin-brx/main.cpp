// veldrin-brx: list, build, unpack, check and install BRX packages from the command line.
// Paths on the command line are host paths; the install paths inside a package are Windows
// paths and go through the same mapping as the program's own installs.
#include "brx/Brx.h"
#include "brx/BrxCheck.h"
#include "brx/PackFiles.h"
#include "common/OptionsFile.h"
#include "install/ArchivePlan.h"
#include "install/BrxInstall.h"
#include "install/InstallHistory.h"
#include "install/ShortList.h"
#include "install/WriterLock.h"
#include "platform/FileIO.h"
#include "platform/HostFiles.h"
#include "platform/WinPath.h"

#include "Cli.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <memory>
// The test hooks stop a process by POSIX signals; the tests that use them run on POSIX hosts.
#if defined(VELDRIN_TEST_HOOKS) && !defined(Q_OS_WIN)
#define VELDRIN_PAUSE_HOOK 1
#include "install/InstallTransaction.h"
#include <csignal>
#endif
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

using namespace cli;

namespace {

// Large packages report progress; small ones would only flicker.
constexpr int kProgressEntries = 50;
constexpr qsizetype kProgressBytes = 8 * 1024 * 1024;

// "1 entry", "2 entries".
QString entries(qsizetype n) { return n == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(n); }

bool stderrIsTerminal()
{
#ifdef Q_OS_WIN
    return ::_isatty(::_fileno(stderr));
#else
    return ::isatty(STDERR_FILENO);
#endif
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
    QString why;
    const QList<brx::Doubt> doubts = brx::doubtsAbout(reader, *read, package, &why);
    if (!why.isEmpty()) {
        err(QStringLiteral("%1: cannot be read (%2)").arg(package, why));
        return Refused;
    }
    for (const brx::Doubt &doubt : doubts)
        err(QStringLiteral("%1: entry %2 (%3): %4")
                .arg(package)
                .arg(doubt.entry)
                .arg(read->entries.at(doubt.entry - 1).title, doubt.what));
    if (!doubts.isEmpty()) {
        err(QStringLiteral("%1: %2 read, but marker text inside an entry may have cut or split it; build it again "
                           "with this version, which packs such text so that it survives")
                .arg(package, entries(read->count)));
        return Refused;
    }
    out(QStringLiteral("%1: %2, all whole").arg(package, entries(read->count)));
    return Ok;
}

int create(const QString &package, const QStringList &pairs)
{
    if (pairs.isEmpty())
        return usage(QStringLiteral("create needs at least one SOURCE=INSTALLPATH"));
    QList<brx::PackSource> sources;
    for (const QString &pair : pairs) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        if (eq <= 0 || eq == pair.size() - 1)
            return usage(QStringLiteral("%1: expected SOURCE=INSTALLPATH").arg(pair));
        sources.append({pair.left(eq), pair.mid(eq + 1)});
    }
    const brx::PackResult result = brx::packFiles(winpath::fromHost(QFileInfo(package).absoluteFilePath()), sources);
    switch (result.failure) {
    case brx::PackResult::None:
        return Ok;
    case brx::PackResult::Unreadable:
        err(QStringLiteral("%1: cannot be read (%2); no package was written").arg(sources.at(result.source).path, result.why));
        break;
    case brx::PackResult::NotAdded:
        err(QStringLiteral("%1: cannot be added (%2); no package was written").arg(sources.at(result.source).path, result.why));
        break;
    case brx::PackResult::NotWritten:
        err(QStringLiteral("%1: cannot be written (%2)").arg(package, result.why));
        break;
    }
    return Refused;
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
        // A link already in DIR must not carry the entry out of it.
        const QString path = QDir(dir).filePath(name);
        const QString real = hostfs::realPlace(path);
        if (!hostfs::inside(real, hostfs::realPlace(dir))) {
            err(QStringLiteral("%1: would be written outside %2 (%3); skipped").arg(path, dir, real));
            ++skipped;
            continue;
        }
        QString why;
        if (!reader.entryBytes(e, bytes, &why)) {
            err(QStringLiteral("%1: cannot be read (%2)").arg(package, why));
            return Refused;
        }
        if (!hostfs::writeFile(real, bytes, QByteArray(), &why)) {
            err(QStringLiteral("%1: cannot be written (%2)").arg(path, why));
            return Refused;
        }
        out(path);
    }
    return skipped ? Refused : Ok;
}

int showHistory(const QCommandLineParser &args)
{
    int code = Ok;
    const auto program = programFolderOf(QStringLiteral("history"), args, &code);
    if (!program)
        return code;
    history::History history(*program);
    if (!history.available()) {
        err(history.problem());
        return Refused;
    }
    for (const history::Operation &op : history.operations()) {
        QString source = op.source;
        source.replace(QLatin1Char('\t'), QLatin1Char(' '));
        out(QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6")
                .arg(op.id)
                .arg(op.time.isValid() ? op.time.toOffsetFromUtc(op.time.offsetFromUtc()).toString(Qt::ISODate) : QStringLiteral("?"),
                     op.route, source)
                .arg(op.fileCount)
                .arg(history::stateText(op.state)));
    }
    return Ok;
}

int undo(const QStringList &ids, const QCommandLineParser &args)
{
    const bool all = args.isSet(QStringLiteral("all"));
    if (all == !ids.isEmpty() || ids.size() > 1)
        return usage(QStringLiteral("undo takes one operation id, or --all"));
    bool numeric = true;
    const qint64 id = all ? 0 : ids.first().toLongLong(&numeric);
    if (!numeric || (!all && id <= 0))
        return usage(QStringLiteral("%1: not an operation id").arg(ids.first()));
    int code = Ok;
    std::unique_ptr<history::WriterLock> lock;
    const auto program = programFolderOf(QStringLiteral("undo"), args, &code, &lock);
    if (!program)
        return code;
    history::History history(*program, gameFolderOf(args, *program));
    if (!history.available()) {
        err(history.problem());
        return Refused;
    }
    const bool yes = args.isSet(QStringLiteral("yes"));
    const history::UndoOutcome outcome = all ? history.restoreAllOriginals(yes) : history.undo(id, yes);
    switch (outcome.result) {
    case history::UndoOutcome::Done:
        if (!outcome.message.isEmpty())
            err(outcome.message);
        out(all ? QStringLiteral("every original restored") : QStringLiteral("install %1 undone").arg(id));
        return Ok;
    case history::UndoOutcome::NeedsConfirmation:
        err(QStringLiteral("these files were changed since: %1; --yes undoes anyway")
                .arg(history::shortList(outcome.changed)));
        return Refused;
    case history::UndoOutcome::Refused:
    case history::UndoOutcome::Failed:
        err(outcome.message.simplified());
        return Refused;
    }
    return Refused;
}

// An archive: its plan on a dry run (source, tab, target or why it is left out), else every
// file it plans installed as one operation.
int installArchive(const QString &archive, const QString &program, const QString &game, const QCommandLineParser &args)
{
    const QString windows = winpath::fromHost(QFileInfo(archive).absoluteFilePath());
    const archiveplan::Plan plan = archiveplan::makePlan(windows, game, program);
    if (!plan.ok()) {
        err(QStringLiteral("%1; nothing was installed").arg(plan.refusal.chopped(plan.refusal.endsWith(QLatin1Char('.')) ? 1 : 0)));
        return Refused;
    }
    if (args.isSet(QStringLiteral("dry-run"))) {
        for (const QString &line : archiveplan::planLines(plan))
            out(line);
        return Ok;
    }
    const bool yes = args.isSet(QStringLiteral("yes"));
    const archiveplan::InstallResult result =
        archiveplan::install(plan, game, program, [yes](const QStringList &) { return yes; });
    switch (result.outcome) {
    case archiveplan::InstallResult::Installed:
        if (!result.message.isEmpty())
            err(result.message.simplified());
        out(QStringLiteral("%1: installed %2 files").arg(archive).arg(result.written));
        return Ok;
    case archiveplan::InstallResult::Declined:
        err(QStringLiteral("%1: writes outside the game and program folders (%2); nothing was installed, "
                           "--yes installs it as written")
                .arg(archive, result.outside.join(QLatin1String(", "))));
        return Refused;
    case archiveplan::InstallResult::Nothing:
    case archiveplan::InstallResult::Refused:
    case archiveplan::InstallResult::Failed:
        break;
    }
    err(QStringLiteral("%1: %2").arg(archive, result.message));
    return Refused;
}

int installCommand(const QString &package, const QCommandLineParser &args)
{
    int code = Ok;
    // A dry run writes nothing, so it neither waits nor holds anyone up.
    std::unique_ptr<history::WriterLock> lock;
    const auto program = programFolderOf(QStringLiteral("install"), args, &code,
                                         args.isSet(QStringLiteral("dry-run")) ? nullptr : &lock);
    if (!program)
        return code;
    if (archives::isArchiveName(package))
        return installArchive(package, *program, gameFolderOf(args, *program), args);
    brx::PackageReader reader;
    // Each pass of the install reads the entries again when there are more than a few
    // thousand: a package of any size costs about the same memory.
    reader.setKeepAtMost(4096);
    if (!openPackage(reader, package))
        return Refused;

    brx::InstallOptions options;
    options.programFolder = *program;
    options.source = QFileInfo(package).absoluteFilePath();
    options.gameFolder = gameFolderOf(args, *program);
    options.dryRun = args.isSet(QStringLiteral("dry-run"));
    const bool yes = args.isSet(QStringLiteral("yes"));
    options.confirmOutside = [yes](const QStringList &) { return yes; };
    options.confirmPrograms = [yes](const QStringList &) { return yes; };
    options.withoutUndo = args.isSet(QStringLiteral("no-history"));
    const bool big = QFileInfo(package).size() >= kProgressBytes || reader.scan().count >= kProgressEntries;
    // A terminal sees one line counting up; a log gets a line every tenth of the way.
    const bool terminal = stderrIsTerminal();
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
        if (!result.outside.isEmpty())
            err(QStringLiteral("%1: writes outside the game and program folders (%2); nothing was installed, "
                               "--yes installs it as written")
                    .arg(package, history::shortList(result.outsideShown)));
        else
            err(QStringLiteral("%1: contains programs (%2); nothing was installed, --yes installs them")
                    .arg(package, history::shortList(result.programs)));
        return Refused;
    case brx::InstallResult::NotKept:
        err(QStringLiteral("%1: %2; nothing was installed, --no-history installs it without undo")
                .arg(package, result.failure));
        return Refused;
    case brx::InstallResult::Refused:
        for (const QString &line : result.ownFiles)
            err(QStringLiteral("%1: %2: Veldrin's own files are not a package's to write").arg(package, line));
        err(QStringLiteral("%1: nothing was installed").arg(package));
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
        for (const QString &path : result.programs)
            out(QStringLiteral("program\t%1").arg(path));
        if (!result.outside.isEmpty() && !yes) {
            err(QStringLiteral("%1: writes outside the game and program folders; it would be refused without --yes")
                    .arg(package));
            return Refused;
        }
        if (!result.programs.isEmpty() && !yes) {
            err(QStringLiteral("%1: contains programs; it would be refused without --yes").arg(package));
            return Refused;
        }
        return Ok;
    }
    for (const QString &failure : result.backupFailures)
        err(QStringLiteral("backup copy not written: %1").arg(failure));
    out(QStringLiteral("%1: installed %2").arg(package, entries(result.count)));
    return Ok;
}

#ifdef VELDRIN_PAUSE_HOOK
// The build the tests run, never the one installed: VELDRIN_TEST_PAUSE_AT=N stops an install
// at its Nth moment a kill must be survivable, says so on stderr, and goes on at SIGUSR1.
volatile std::sig_atomic_t g_resumed = 0;

void pauseAt(int point)
{
    static const int wanted = qEnvironmentVariableIntValue("VELDRIN_TEST_PAUSE_AT");
    if (point != wanted)
        return;
    sigset_t usr1, before;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    sigprocmask(SIG_BLOCK, &usr1, &before);
    std::signal(SIGUSR1, [](int) { g_resumed = 1; });
    std::fprintf(stderr, "veldrin-test-paused %d\n", point);
    std::fflush(stderr);
    sigdelset(&before, SIGUSR1);
    while (!g_resumed)
        sigsuspend(&before);
    sigprocmask(SIG_UNBLOCK, &usr1, nullptr);
}
#endif

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
#ifdef VELDRIN_PAUSE_HOOK
    install::Transaction::onCheckpointForTesting(pauseAt);
    // VELDRIN_TEST_LIVE_SLOTS=N: an install lets go of its slots beyond N, as a huge one does.
    install::Transaction::liveSlotsForTesting(qEnvironmentVariableIntValue("VELDRIN_TEST_LIVE_SLOTS"));
#endif
    // One line, once, for an install held up by another.
    history::WriterLock::setWaitNotice([](bool waiting) {
        if (waiting)
            err(history::waitingText());
    });
    QCoreApplication::setApplicationName(QStringLiteral("veldrin-brx"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.90"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists, builds, unpacks, checks and installs Black & White BRX packages and add-on archives.\n\n"
        "Commands:\n"
        "  list PKG                        install path, title, size and form of each entry\n"
        "  create PKG SOURCE=INSTALLPATH...  build a package (INSTALLPATH is a Windows path)\n"
        "  extract PKG DIR                 write each entry's content into DIR by its title\n"
        "  install PKG --program-folder DIR [--game-folder G] [--dry-run] [--yes] [--no-wait]\n"
        "      [--no-history]              install all or nothing, backups in DIR/Backup/brx;\n"
        "                                  G defaults to the game folder in DIR/options.txt\n"
        "  install ARCHIVE --program-folder DIR [--game-folder G] [--dry-run] [--yes] [--no-wait]\n"
        "                                  install a .zip, .7z, .rar or .tar.* add-on as one\n"
        "                                  operation; --dry-run prints each file, a tab, and\n"
        "                                  where it goes or \"left out: reason\"\n"
        "  verify PKG                      say whether every entry is whole and free of marker text\n"
        "  history --program-folder DIR    every install Veldrin made, newest first:\n"
        "                                  id, time, route, source, files, state\n"
        "  undo ID --program-folder DIR [--game-folder G] [--yes] [--no-wait]\n"
        "                                  put back what install ID changed\n"
        "  undo --all --program-folder DIR [--game-folder G] [--yes] [--no-wait]\n"
        "                                  put back every original Veldrin replaced\n"
        "  addons --program-folder DIR     every add-on, top layer first:\n"
        "                                  id, name, kind, state (in/out), files, conflicts\n"
        "  take-out ID | put-back ID --program-folder DIR [--game-folder G] [--yes] [--no-wait]\n"
        "  order ID --above ID2 --program-folder DIR [--game-folder G] [--yes] [--no-wait]\n"
        "                                  --yes: files changed by hand are kept aside, then rewritten\n\n"
        "One install, undo or add-on change at a time writes to a program folder; another waits for it.\n\n"
        "Exit status: 0 done, 1 package damaged, doubtful or refused (or undo refused), 2 wrong usage."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOption({QStringLiteral("program-folder"), QStringLiteral("Veldrin's folder (host path)."), QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("game-folder"), QStringLiteral("The game's folder (host path)."), QStringLiteral("G")});
    parser.addOption({QStringLiteral("dry-run"), QStringLiteral("List what install would write; write nothing.")});
    parser.addOption({QStringLiteral("yes"), QStringLiteral("Install entries outside the game and program folders "
                                                            "and programs; undo files changed since.")});
    parser.addOption({QStringLiteral("no-history"),
                      QStringLiteral("Install without undo when the files replaced cannot be kept.")});
    parser.addOption({QStringLiteral("all"), QStringLiteral("Undo: restore every original.")});
    parser.addOption({QStringLiteral("above"), QStringLiteral("Order: the add-on to place it directly above."), QStringLiteral("ID2")});
    parser.addOption({QStringLiteral("no-wait"), QStringLiteral("Install and undo: when another install on the program "
                                                                "folder has not finished, fail (exit 1) instead of waiting.")});
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("list, create, extract, install, verify, history, undo, addons, take-out, put-back or order"));

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
    // Each option belongs to the commands that use it.
    const auto allowed = [&](const char *option, QStringList commands) {
        return !parser.isSet(QLatin1String(option)) || commands.contains(command);
    };
    const QString installing = QStringLiteral("install"), history = QStringLiteral("history"), undoing = QStringLiteral("undo");
    const QStringList changing{QStringLiteral("take-out"), QStringLiteral("put-back"), QStringLiteral("order")};
    const QString addons = QStringLiteral("addons");
    if (!allowed("program-folder", QStringList{installing, history, undoing, addons} + changing)
        || !allowed("game-folder", QStringList{installing, undoing} + changing) || !allowed("dry-run", {installing})
        || !allowed("no-history", {installing}) || !allowed("yes", QStringList{installing, undoing} + changing)
        || !allowed("all", {undoing}) || !allowed("no-wait", QStringList{installing, undoing} + changing)
        || !allowed("above", {QStringLiteral("order")}))
        return usage(QStringLiteral("%1 does not take these options").arg(command));

    auto needs = [&](int count) { return args.size() == count + 1; };
    if (command == QLatin1String("list") && needs(1))
        return list(args.at(1));
    if (command == QLatin1String("verify") && needs(1))
        return verify(args.at(1));
    if (command == QLatin1String("extract") && needs(2))
        return extract(args.at(1), args.at(2));
    if (command == QLatin1String("install") && needs(1))
        return installCommand(args.at(1), parser);
    if (command == QLatin1String("create") && args.size() >= 2)
        return create(args.at(1), args.mid(2));
    if (command == history && needs(0))
        return showHistory(parser);
    if (command == undoing)
        return undo(args.mid(1), parser);
    if (command == addons && needs(0))
        return showAddOns(parser);
    if (changing.contains(command))
        return changeAddOn(command, args.mid(1), parser);
    if (QStringList{QStringLiteral("list"), QStringLiteral("verify"), QStringLiteral("extract"), QStringLiteral("install"),
                    QStringLiteral("create"), history, addons}
            .contains(command))
        return usage(QStringLiteral("%1: wrong number of arguments").arg(command));
    return usage(QStringLiteral("unknown command \"%1\"").arg(command));
}
