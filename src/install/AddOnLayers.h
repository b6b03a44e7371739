#pragma once
// The add-on layers as the journal's rows say they stand: which add-on writes what, in which
// order, and which are out. Read by the install itself (to keep hand edits as layers of their
// own), by the history (to tell an operation in words) and by the add-on operations that
// change the layers.
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace history {

struct OperationRow;
struct FileRow;

// Routes whose operations are add-ons: the install routes and a kept hand edit.
bool isAddOnRoute(const QString &route);
// The add-ons that are out (taken out, undone, or restored away), from the journal's rows.
QSet<qint64> takenOut(const QList<OperationRow> &rows);
// Of the files an install is about to write (host, and what each holds now: `existed` and
// `previous`), those that hold something else than their top layer, as the rows of a "by hand"
// operation that keeps the change as a layer of its own under the install.
QList<FileRow> changedByHand(const QList<OperationRow> &rows, const QList<FileRow> &now);
// An operation in words a player reads: "Map a.txt from the map window", "Took out Map a.txt".
QString describe(const OperationRow &row, const QList<OperationRow> &rows);

using Bytes = std::optional<QString>; // a hash, or no file at all

Bytes present(const QString &host);
bool counts(const OperationRow &row);
QString defaultName(const OperationRow &row);

// The layers, replayed from the journal: every finished operation in the order it was made.
struct Model
{
    QList<qint64> order;                          // add-ons, bottom first
    QSet<qint64> out;
    QHash<qint64, QString> names;
    QHash<qint64, const OperationRow *> rowOf;
    QHash<qint64, QHash<QString, Bytes>> writes;  // add-on -> host -> what its layer holds
    QStringList hosts;                            // every game file an add-on wrote, first seen first
    QHash<QString, QString> paths;
    QHash<QString, Bytes> original;
    QSet<QString> originalLost;                   // what the file held first was not kept

    struct Top
    {
        qint64 layer = 0;                         // 0: the original
        Bytes bytes;
        bool known = true;
    };

    explicit Model(const QList<OperationRow> &rows);

    bool has(qint64 id) const { return rowOf.contains(id); }
    void toTop(qint64 id)
    {
        if (order.removeOne(id))
            order << id;
    }
    void placeAbove(qint64 id, qint64 other)
    {
        if (id == other || !order.removeOne(id))
            return;
        order.insert(order.indexOf(other) + 1, id);
    }
    Top top(const QString &host) const
    {
        for (auto it = order.crbegin(); it != order.crend(); ++it) {
            if (out.contains(*it))
                continue;
            const auto &layer = writes.value(*it);
            const auto found = layer.constFind(host);
            if (found != layer.constEnd())
                return {*it, *found, true};
        }
        return {0, original.value(host), !originalLost.contains(host)};
    }
    // The enabled add-ons writing host, bottom first.
    QList<qint64> stack(const QString &host) const
    {
        QList<qint64> ids;
        for (const qint64 id : order) {
            if (!out.contains(id) && writes.value(id).contains(host))
                ids << id;
        }
        return ids;
    }
};

} // namespace history
