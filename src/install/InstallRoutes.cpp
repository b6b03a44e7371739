// The routes that write one file (or a file and the copy the player sees) as one operation.
#include "install/InstallTransaction.h"

#include "platform/FileIO.h"

namespace install {

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
    const int target = transaction.add(what.target, &result.installError);
    if (!bytes)
        result.installError = QStringLiteral("the chosen file could not be read");
    else if (target >= 0)
        result.installed = transaction.write(target, *bytes, tail, &result.installError);
    // Each step stands on its own: a copy written stays written when the install fails. When
    // even that cannot be finished, all is put back and neither happened.
    QString why;
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
                 const QString &programFolder, const QString &windowsPath, const QByteArray &bytes, QString *error)
{
    Transaction t(route, source, gameFolder, programFolder);
    const int target = t.add(windowsPath, error);
    if (target < 0 || !t.write(target, bytes, QByteArray(), error))
        return false;
    return t.commit(error);
}

} // namespace install
