#include "managers/GameFileInstall.h"

#include "install/InstallTransaction.h"
#include "platform/FileIO.h"

namespace gamefile {

std::optional<Loaded> load(const QString &windowsPath)
{
    auto bytes = fileio::readBytes(windowsPath);
    if (!bytes)
        return std::nullopt;
    Loaded loaded;
    loaded.binary = !fileio::isText(*bytes);
    if (!loaded.binary)
        loaded.text = fileio::normalizeLineBreaks(fileio::decode1252(*bytes));
    loaded.bytes = std::move(*bytes);
    return loaded;
}

namespace {

// The copy a backup makes of a replaced file: text as a text buffer writes it, anything else
// byte for byte.
QByteArray keptForm(const QByteArray &replaced)
{
    if (!fileio::isText(replaced))
        return replaced;
    return fileio::encode1252(fileio::normalizeLineBreaks(fileio::decode1252(replaced))) + QByteArrayLiteral("\r\n");
}

bool holdsNothing(const std::optional<QByteArray> &bytes)
{
    return !bytes || bytes->isEmpty() || *bytes == QByteArrayLiteral("\r\n");
}

} // namespace

QString numberedBackupPath(const QString &backupPath, int number)
{
    if (number <= 1)
        return backupPath;
    const qsizetype slash = backupPath.lastIndexOf(QLatin1Char('\\'));
    const qsizetype dot = backupPath.lastIndexOf(QLatin1Char('.'));
    const qsizetype cut = dot > slash + 1 ? dot : backupPath.size();
    return backupPath.left(cut) + QStringLiteral(" (%1)").arg(number) + backupPath.mid(cut);
}

QString backupPathFor(const QString &backupPath, const QByteArray &replaced)
{
    const QByteArray kept = keptForm(replaced);
    // Bounded, so that a folder full of copies cannot keep the install looking forever; the
    // last name is then written over.
    constexpr int kMostCopies = 1000;
    for (int number = 1; number < kMostCopies; ++number) {
        const QString path = numberedBackupPath(backupPath, number);
        const auto held = fileio::readBytes(path);
        if (holdsNothing(held) || *held == kept)
            return path;
    }
    return numberedBackupPath(backupPath, kMostCopies);
}

Result installWithBackup(const Source &source, const QString &targetPath, const QString &backupPath,
                         const Where &where, const std::function<void(Step)> &onStep)
{
    const auto tell = [&onStep](Step step) {
        if (onStep)
            onStep(step);
    };
    Result result;
    // The first copy is the game's own file; later ones go beside it rather than over it.
    const auto current = fileio::readBytes(targetPath);
    const QString backup = current && !current->isEmpty() ? backupPathFor(backupPath, *current) : backupPath;
    install::Transaction transaction(where.route, where.source, where.gameFolder, where.programFolder);
    // A missing or empty installed file has nothing worth keeping: its copy would only destroy
    // a backup taken of a good file earlier.
    const install::ReplacementResult r = install::backUpAndReplace(
        transaction, {targetPath, backup, false, where.askWithoutUndo},
        source.binary ? source.bytes : fileio::encode1252(source.text),
        source.binary ? QByteArray() : QByteArrayLiteral("\r\n"),
        [&](int step) { tell(step == 0 ? Step::InstalledFileRead : Step::BackupDone); });
    if (r.backupTried)
        result.backup = r.backedUp ? Backup::Written : Backup::Failed;
    if (r.backupTried && r.replaced && fileio::isText(*r.replaced))
        result.backupText = fileio::normalizeLineBreaks(fileio::decode1252(*r.replaced));
    if (r.backupTried)
        result.backupPath = backup;
    result.installed = r.installed;
    result.withoutUndo = r.withoutUndo;
    result.backupError = r.backupError;
    result.installError = r.installError;
    if (result.installed)
        tell(Step::Installed);
    return result;
}

QString binarySummary(const QString &fileName, qint64 size)
{
    const QString bytes = size == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(size);
    return QStringLiteral("%1\r\n%2\r\n\r\nThis file is binary, not text, so it is not shown here and cannot be "
                          "edited here. Installing it copies it unchanged, byte for byte.")
        .arg(fileName, bytes);
}

QString shownAsText(const QByteArray &bytes)
{
    QString text = fileio::decode1252(bytes);
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if (u == u'\t' || u == u'\n' || u == u'\r')
            continue;
        if (u < 0x20)
            c = QChar(char16_t(0x2400 + u)); // the control pictures block mirrors C0 in order
        else if (u == 0x7F)
            c = QChar(char16_t(0x2421));
    }
    return fileio::normalizeLineBreaks(text);
}

} // namespace gamefile
