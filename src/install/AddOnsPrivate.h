#pragma once
// The inside of the add-on list, shared by the files that replay the layers from the journal,
// change them, and answer for them. Not part of the interface: only those files include it.
#include "install/AddOns.h"
#include "install/HistoryJournal.h"

#include <QHash>
#include <functional>
#include <optional>

namespace install {
class Transaction;
}

namespace history {

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

AddOnOutcome refuse(const QString &message);

// A Mutation changes the layers and names the add-ons the operation records; false refuses.
using Mutation = std::function<bool(Model &next, QList<qint64> *subjects, QString *why)>;

struct AddOns::Private
{
    QString programFolder;
    QString gameFolder;
    std::unique_ptr<Journal> journal;
    QString problem;
    QList<OperationRow> rows; // what the last model was built from; the model points into it

    Model load();
    // Records an operation that writes no file.
    bool note(const QString &route, const QString &source, const QList<qint64> &subjects, qint64 *id, QString *why,
              const QList<FileRow> &files = {});
    AddOnOutcome change(const QString &route, const QString &source, HandEdits handEdits, const Mutation &mutate);
    static AddOnOutcome failed(const QString &message);
    AddOnOutcome write(const QString &route, const QString &source, const QList<qint64> &subjects, qsizetype count,
                       const std::function<bool(install::Transaction &, QString *)> &steps);
};

} // namespace history
