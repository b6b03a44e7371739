#include "Cli.h"

#include "common/OptionsFile.h"
#include "install/AddOns.h"
#include "install/HistoryRecovery.h"
#include "install/ShortList.h"
#include "install/WriterLock.h"
#include "platform/FileIO.h"
#include "platform/WinPath.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>

namespace cli {

void out(const QString &line) { std::fprintf(stdout, "%s\n", qPrintable(line)); }
void err(const QString &line) { std::fprintf(stderr, "veldrin-brx: %s\n", qPrintable(line)); }

int usage(const QString &why)
{
    err(why + QStringLiteral(" (see --help)"));
    return Usage;
}

QString folderAsWindows(const QString &hostFolder)
{
    QString windows = winpath::fromHost(QFileInfo(hostFolder).absoluteFilePath());
    if (!windows.endsWith(QLatin1Char('\\')))
        windows += QLatin1Char('\\');
    return windows;
}

// The game folder undo and recovery may write in: --game-folder, else the one the program
// folder's options.txt names, as the window would use it.
QString gameFolderOf(const QCommandLineParser &args, const QString &programFolder)
{
    if (args.isSet(QStringLiteral("game-folder")))
        return folderAsWindows(args.value(QStringLiteral("game-folder")));
    const auto text = fileio::loadText(programFolder + QLatin1String("options.txt"));
    return text ? optionsfile::splitLines(*text).value(0) : QString();
}

// What an install killed earlier left behind is put back before anything else runs, and the
// player is told once. Skipped while another process holds the history: its install is running.
void recover(const QString &programFolder, const QString &gameFolder)
{
    const QString told = history::recoverUnfinished(programFolder, gameFolder);
    for (const QString &line : told.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        err(line);
}

// The program folder every history-aware command needs, as a Windows folder, recovered. A
// command that writes passes lock: it then holds the history until it ends, taken before the
// recovery so that nothing another install is doing counts as unfinished.
std::optional<QString> programFolderOf(const QString &command, const QCommandLineParser &args, int *code,
                                       std::unique_ptr<history::WriterLock> *lock)
{
    if (!args.isSet(QStringLiteral("program-folder"))) {
        *code = usage(QStringLiteral("%1 needs --program-folder").arg(command));
        return std::nullopt;
    }
    const QString programHost = args.value(QStringLiteral("program-folder"));
    if (!QFileInfo(programHost).isDir()) {
        err(QStringLiteral("%1: is not a folder").arg(programHost));
        *code = Refused;
        return std::nullopt;
    }
    const QString folder = folderAsWindows(programHost);
    if (lock) {
        const bool wait = !args.isSet(QStringLiteral("no-wait"));
        *lock = std::make_unique<history::WriterLock>(folder, wait ? history::WriterLock::Wait : history::WriterLock::NoWait);
        if (!(*lock)->held()) {
            err(QStringLiteral("another install on %1 has not finished; nothing was done (--no-wait)").arg(programHost));
            *code = Refused;
            return std::nullopt;
        }
    }
    recover(folder, gameFolderOf(args, folder));
    return folder;
}

// One tab-separated line per add-on, top layer first.
int showAddOns(const QCommandLineParser &args)
{
    int code = Ok;
    const auto program = programFolderOf(QStringLiteral("addons"), args, &code);
    if (!program)
        return code;
    history::AddOns addOns(*program);
    if (!addOns.available()) {
        err(addOns.problem());
        return Refused;
    }
    for (const history::AddOn &a : addOns.list()) {
        QString name = a.name;
        name.replace(QLatin1Char('\t'), QLatin1Char(' '));
        out(QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6")
                .arg(a.id)
                .arg(name, a.kind, a.enabled ? QStringLiteral("in") : QStringLiteral("out"))
                .arg(a.fileCount)
                .arg(a.conflicts));
    }
    return Ok;
}

// take-out ID, put-back ID, order ID --above ID2.
int changeAddOn(const QString &command, const QStringList &ids, const QCommandLineParser &args)
{
    const bool ordering = command == QLatin1String("order");
    if (ids.size() != 1 || ordering != args.isSet(QStringLiteral("above")))
        return usage(ordering ? QStringLiteral("order takes one add-on id and --above ID")
                              : QStringLiteral("%1 takes one add-on id").arg(command));
    bool ok = true, okOther = true;
    const qint64 id = ids.first().toLongLong(&ok);
    const qint64 other = ordering ? args.value(QStringLiteral("above")).toLongLong(&okOther) : 0;
    if (!ok || !okOther || id <= 0 || (ordering && other <= 0))
        return usage(QStringLiteral("%1: not an add-on id").arg(ok && id > 0 ? args.value(QStringLiteral("above")) : ids.first()));
    int code = Ok;
    std::unique_ptr<history::WriterLock> lock;
    const auto program = programFolderOf(command, args, &code, &lock);
    if (!program)
        return code;
    history::AddOns addOns(*program, gameFolderOf(args, *program));
    if (!addOns.available()) {
        err(addOns.problem());
        return Refused;
    }
    const auto hand = args.isSet(QStringLiteral("yes")) ? history::HandEdits::Overwrite : history::HandEdits::Ask;
    const history::AddOnOutcome outcome = command == QLatin1String("take-out") ? addOns.takeOut(id, hand)
        : command == QLatin1String("put-back")                                 ? addOns.putBack(id, hand)
                                                                               : addOns.moveAbove(id, other, hand);
    switch (outcome.result) {
    case history::AddOnOutcome::Done:
        out(QStringLiteral("%1 %2: %3 files rewritten").arg(command).arg(id).arg(outcome.written));
        return Ok;
    case history::AddOnOutcome::NeedsChoice:
        err(QStringLiteral("these files were changed by hand: %1; --yes keeps the changes aside and goes on")
                .arg(history::shortList(outcome.handEdited)));
        return Refused;
    case history::AddOnOutcome::Refused:
    case history::AddOnOutcome::Failed:
        err(outcome.message.simplified());
        return Refused;
    }
    return Refused;
}

} // namespace cli
