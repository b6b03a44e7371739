// The routes that write one file (or a file and the copy the player sees) as one operation.
#include "install/InstallTransaction.h"

#include "common/Prompts.h"
#include "platform/Fail.h"
#include "platform/FileIO.h"

namespace install {

bool beginOrAsk(Transaction &transaction, const WithoutUndoQuestion &ask, bool *withoutUndo, QString *error)
{
    // A target in the install history is refused by its write, before anything is kept or
    // recorded; nothing planned at all has nothing to keep.
    if (transaction.plansHistory() || transaction.count() == 0)
        return true;
    QString why;
    if (transaction.begin(&why))
        return true;
    if (!ask || !ask(why))
        return failure::fail(error, why);
    transaction.setWithoutUndo(true);
    *withoutUndo = true;
    return transaction.begin(error);
}

WithoutUndoQuestion askThrough(Prompts &prompts)
{
    return [&prompts](const QString &why) { return prompts.question(withoutUndoFileQuestion(why)); };
}

QString withoutUndoFileQuestion(const QString &why)
{
    return QStringLiteral("Veldrin cannot keep the file this install replaces: %1.\n\nInstall without undo? The "
                          "install could not be undone later. No leaves the game as it is.")
        .arg(why);
}

ReplacementResult backUpAndReplace(Transaction &transaction, const Replacement &what,
                                   const std::optional<QByteArray> &bytes, const QByteArray &tail,
                                   const std::function<void(int)> &onStep)
{
    const auto step = [&onStep](int n) {
        if (onStep)
            onStep(n);
    };
    ReplacementResult result;
    result.replaced = fileio::readBytes(what.target);
    step(0);
    const bool nothing = !result.replaced || result.replaced->isEmpty();
    const int copy = nothing && !what.copyWhenNothingReplaced ? -1 : transaction.add(what.backup, &result.backupError);
    const int target = transaction.add(what.target, &result.installError);
    QString why;
    if (!beginOrAsk(transaction, what.askWithoutUndo, &result.withoutUndo, &why)) {
        // Stopped before anything was written: neither the copy nor the file went in.
        result.backupTried = copy >= 0;
        if (result.backupTried)
            result.backupError = why;
        result.installError = why;
        step(1);
        return result;
    }
    if (copy >= 0) {
        QByteArray kept = QByteArrayLiteral("\r\n");
        if (!nothing)
            kept = fileio::isText(*result.replaced)
                ? fileio::encode1252(fileio::normalizeLineBreaks(fileio::decode1252(*result.replaced))) + kept
                : *result.replaced;
        // A lone CR LF would pass for the player's file; an older copy that holds something stays.
        const auto earlier = nothing ? transaction.previous(copy) : std::nullopt;
        if (earlier && !earlier->isEmpty() && *earlier != QByteArrayLiteral("\r\n")) {
            result.olderBackupKept = true;
        } else {
            result.backupTried = true;
            result.backedUp = transaction.write(copy, kept, QByteArray(), &result.backupError);
        }
    }
    step(1);
    if (!bytes)
        result.installError = QStringLiteral("the chosen file could not be read");
    else if (target >= 0)
        result.installed = transaction.write(target, *bytes, tail, &result.installError);
    // Each step stands on its own: a copy written stays written when the install fails. When
    // even that cannot be finished, all is put back and neither happened.
    if (!transaction.commit(&why)) {
        result.backedUp = false;
        result.installed = false;
        result.installError = why;
        if (result.backupTried)
            result.backupError = why;
    }
    return result;
}

bool installFile(const QString &route, const QString &source, const QString &gameFolder,
                 const QString &programFolder, const QString &windowsPath, const QByteArray &bytes, QString *error,
                 const WithoutUndoQuestion &ask, bool *withoutUndo)
{
    Transaction t(route, source, gameFolder, programFolder);
    const int target = t.add(windowsPath, error);
    bool wentOn = false;
    if (target < 0 || !beginOrAsk(t, ask, &wentOn, error))
        return false;
    if (withoutUndo)
        *withoutUndo = wentOn;
    if (!t.write(target, bytes, QByteArray(), error))
        return false;
    return t.commit(error);
}

} // namespace install
