#pragma once
// What the history-aware commands of veldrin-brx share, and the add-on commands.
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QCommandLineParser;
namespace history {
class WriterLock;
}

namespace cli {

enum Exit { Ok = 0, Refused = 1, Usage = 2 };

void out(const QString &line);
void err(const QString &line);
int usage(const QString &why);

// A host folder as a Windows folder, with its closing backslash.
QString folderAsWindows(const QString &hostFolder);
QString gameFolderOf(const QCommandLineParser &args, const QString &programFolder);
void recover(const QString &programFolder, const QString &gameFolder);
std::optional<QString> programFolderOf(const QString &command, const QCommandLineParser &args, int *code,
                                       std::unique_ptr<history::WriterLock> *lock = nullptr);

int showAddOns(const QCommandLineParser &args);
int changeAddOn(const QString &command, const QStringList &ids, const QCommandLineParser &args);

} // namespace cli
