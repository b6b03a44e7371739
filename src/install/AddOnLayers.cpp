#include "install/AddOnLayers.h"
#include "install/HistoryJournal.h"

#include <QFileInfo>

// The layers, replayed from the journal's operations, and what they say about a file or an
// operation.

namespace history {

Bytes present(const QString &host)
{
    const QFileInfo info(host);
    if (!info.exists() || info.isDir())
        return std::nullopt;
    return sha256File(host);
}

bool counts(const OperationRow &row)
{
    return row.damage.isEmpty() && (row.state == QLatin1String("done") || row.state == QLatin1String("no undo"));
}

namespace {

QString bareName(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return path.mid(cut + 1);
}

} // namespace

QString defaultName(const OperationRow &row)
{
    if (row.route == QLatin1String("by hand"))
        return QStringLiteral("Changed by hand");
    if (row.route == QLatin1String("package") || row.route == QLatin1String("file") || row.route == QLatin1String("archive"))
        return bareName(row.source);
    QString first;
    for (const FileRow &f : row.files) {
        if (f.touched) {
            first = bareName(f.path);
            break;
        }
    }
    QString kind = row.route;
    if (!kind.isEmpty())
        kind[0] = kind[0].toUpper();
    return first.isEmpty() ? kind : kind + QLatin1Char(' ') + first;
}

namespace {

// Old journals undid operations by `undo` and `restore all` records, which could themselves be
// undone: an operation is out while an undo of it stands that is not itself undone.
QSet<qint64> oldUndone(const QList<OperationRow> &rows)
{
    QSet<qint64> undone;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        if (!counts(*it) || undone.contains(it->id)
            || (it->route != QLatin1String("undo") && it->route != QLatin1String("restore all")))
            continue;
        for (const qint64 id : it->undoes) {
            if (id < it->id)
                undone.insert(id);
        }
    }
    return undone;
}

} // namespace

Model::Model(const QList<OperationRow> &rows)
{
    const QSet<qint64> undone = oldUndone(rows);
    for (const OperationRow &row : rows) {
        if (!counts(row))
            continue;
        const QList<qint64> &ids = row.undoes;
        if (isAddOnRoute(row.route)) {
            order << row.id;
            rowOf.insert(row.id, &row);
            names.insert(row.id, defaultName(row));
            if (undone.contains(row.id))
                out.insert(row.id);
            auto &layer = writes[row.id];
            for (const FileRow &f : row.files) {
                if (!f.touched)
                    continue;
                layer.insert(f.host, f.written.isEmpty() ? Bytes() : Bytes(f.written));
                if (paths.contains(f.host))
                    continue;
                hosts << f.host;
                paths.insert(f.host, f.path);
                original.insert(f.host, f.existed ? Bytes(f.previous) : Bytes());
                if (f.existed && !f.kept)
                    originalLost.insert(f.host);
            }
        } else if (row.route == QLatin1String("take out") || row.route == QLatin1String("restore originals")) {
            for (const qint64 id : ids)
                out.insert(id);
        } else if (row.route == QLatin1String("put back")) {
            for (const qint64 id : ids) {
                out.remove(id);
                toTop(id);
            }
        } else if (row.route == QLatin1String("order") && ids.size() >= 2) {
            placeAbove(ids.at(0), ids.at(1));
            for (qsizetype i = 2; i < ids.size(); ++i)
                toTop(ids.at(i));
        } else if (row.route == QLatin1String("rename") && !ids.isEmpty() && names.contains(ids.first())) {
            names.insert(ids.first(), row.source);
        }
    }
}

bool isAddOnRoute(const QString &route)
{
    static const QStringList routes{QStringLiteral("map"),  QStringLiteral("landscape"), QStringLiteral("skin"),
                                    QStringLiteral("tattoo"), QStringLiteral("file"),    QStringLiteral("package"),
                                    QStringLiteral("archive"),
                                    QStringLiteral("by hand")};
    return routes.contains(route);
}

QSet<qint64> takenOut(const QList<OperationRow> &rows) { return Model(rows).out; }

QList<FileRow> changedByHand(const QList<OperationRow> &rows, const QList<FileRow> &now)
{
    const Model model(rows);
    QList<FileRow> edited;
    for (const FileRow &f : now) {
        if (!model.paths.contains(f.host))
            continue;
        const Model::Top top = model.top(f.host);
        const Bytes disk = f.existed ? Bytes(f.previous) : Bytes();
        if (!top.known || disk == top.bytes)
            continue;
        FileRow row;
        row.seq = int(edited.size());
        row.path = f.path;
        row.host = f.host;
        row.existed = top.bytes.has_value();
        row.previous = top.bytes.value_or(QString());
        row.written = disk.value_or(QString());
        row.touched = true;
        edited << row;
    }
    return edited;
}

QString describe(const OperationRow &row, const QList<OperationRow> &rows)
{
    const Model model(rows);
    QStringList named;
    for (const qint64 id : row.undoes)
        named << (model.has(id) ? QStringLiteral("\"%1\"").arg(defaultName(*model.rowOf.value(id))) : QString::number(id));
    const QString list = named.join(QLatin1String(", "));
    const QString name = defaultName(row);
    if (row.route == QLatin1String("map"))
        return QStringLiteral("%1 from the map window").arg(name);
    if (row.route == QLatin1String("landscape") || row.route == QLatin1String("skin"))
        return QStringLiteral("%1 from the skin and landscape window").arg(name);
    if (row.route == QLatin1String("tattoo"))
        return QStringLiteral("%1 from the tattoo window").arg(name);
    if (row.route == QLatin1String("file"))
        return QStringLiteral("File %1 from the installer").arg(name);
    if (row.route == QLatin1String("package"))
        return QStringLiteral("Package %1").arg(name);
    if (row.route == QLatin1String("archive"))
        return QStringLiteral("Archive %1").arg(name);
    if (row.route == QLatin1String("by hand"))
        return QStringLiteral("Kept files changed by hand");
    if (row.route == QLatin1String("take out") || row.route == QLatin1String("undo"))
        return QStringLiteral("Took out %1").arg(list);
    if (row.route == QLatin1String("put back"))
        return QStringLiteral("Put back %1").arg(list);
    if (row.route == QLatin1String("order"))
        return named.size() >= 2 ? QStringLiteral("Moved %1 above %2").arg(named.at(0), named.at(1)) : QStringLiteral("Moved");
    if (row.route == QLatin1String("rename"))
        return QStringLiteral("Renamed %1 to \"%2\"").arg(list, row.source);
    if (row.route == QLatin1String("restore originals") || row.route == QLatin1String("restore all"))
        return QStringLiteral("Restored all originals");
    return row.route;
}

} // namespace history
