#include "managers/GameFileInstall.h"

#include "installer/InstallTransaction.h"
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

Result installWithBackup(const Source &source, const QString &targetPath, const QString &backupPath,
                         const Where &where, const std::function<void(Step)> &onStep)
{
    const auto tell = [&onStep](Step step) {
        if (onStep)
            onStep(step);
    };
    Result result;
    install::Transaction transaction(where.route, where.source, where.gameFolder, where.programFolder);

    const std::optional<QByteArray> installed = fileio::readBytes(targetPath);
    tell(Step::InstalledFileRead);
    // A missing or empty installed file has nothing worth keeping; writing it out would only
    // destroy a backup taken of a good file earlier.
    if (installed && !installed->isEmpty()) {
        QByteArray bytes = *installed;
        if (fileio::isText(*installed)) {
            result.backupText = fileio::normalizeLineBreaks(fileio::decode1252(*installed));
            bytes = fileio::encode1252(result.backupText) + QByteArrayLiteral("\r\n");
        }
        const int backup = transaction.add(backupPath);
        result.backup = backup >= 0 && transaction.write(backup, bytes) ? Backup::Written : Backup::Failed;
    }
    tell(Step::BackupDone);

    const int target = transaction.add(targetPath);
    result.installed = target >= 0
        && (source.binary ? transaction.write(target, source.bytes)
                          : transaction.write(target, fileio::encode1252(source.text), QByteArrayLiteral("\r\n")));
    transaction.commit();
    if (result.installed)
        tell(Step::Installed);
    return result;
}

QString binarySummary(const QString &fileName, qint64 size)
{
    return QStringLiteral("%1\r\n%2 bytes\r\n\r\nThis file is binary, not text, so it is not shown here and cannot be "
                          "edited here. Installing it copies it unchanged, byte for byte.")
        .arg(fileName)
        .arg(size);
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
