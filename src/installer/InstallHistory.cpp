// Unfinished: bodies follow in the next commits; they report "not available" until then.
#include "installer/InstallHistory.h"

namespace history {

QString folderOf(const QString &programFolder) { return programFolder + QLatin1String("Backup\\history\\"); }
bool isKept(const QString &) { return false; }
bool createFolder(const QString &, QString *error)
{
    if (error)
        *error = QStringLiteral("not finished");
    return false;
}
QString stateText(State) { return QString(); }

struct History::Private
{
};

History::History(const QString &, const QString &) : d(std::make_unique<Private>()) {}
History::~History() = default;
bool History::available() const { return false; }
QString History::problem() const { return QStringLiteral("not finished"); }
QList<Operation> History::operations() { return {}; }
QList<FileChange> History::files(qint64) { return {}; }
UndoOutcome History::undo(qint64, bool) { return {}; }
UndoOutcome History::restoreAllOriginals(bool) { return {}; }
QString recoverUnfinished(const QString &) { return {}; }

} // namespace history
