#pragma once
// The inside of the add-on list, shared by the files that replay the layers from the journal,
// change them, and answer for them. Not part of the interface: only those files include it.
#include "install/AddOnLayers.h"
#include "install/AddOns.h"
#include "install/HistoryJournal.h"

#include <functional>

namespace install {
class Transaction;
}

namespace history {

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
