#pragma once
// What is installed, as the player thinks of it: every install is an add-on that can be taken
// out and put back in any order. Each game file Veldrin touched has its original (or no file)
// with the enabled add-ons that write it laid over it in their order; the file on disk is
// always the top layer. The state is worked out from the journal's operations alone, so every
// change is an operation like an install and as safe against a kill.
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

namespace history {

// What to do about a file that holds something else than its top layer (edited by hand, or by
// the game itself) when an operation is about to rewrite it. Its bytes are kept either way.
enum class HandEdits {
    Ask,        // change nothing; the outcome lists the files
    KeepOnTop,  // the edit becomes an add-on of its own ("changed by hand"), on top
    Overwrite,  // the edit becomes an add-on that is out; the operation goes on
};

struct AddOn
{
    qint64 id = 0;
    QString name;
    QString kind;            // "map", "landscape", "skin", "tattoo", "file", "package", "by hand"
    QDateTime time;          // local time of the install
    bool enabled = true;
    int fileCount = 0;
    int conflicts = 0;       // its files another enabled add-on also writes
    bool canPutBack = true;  // every byte it wrote is in the store
};

struct AddOnFile
{
    enum Layer { OnTop, Covered, Out };
    QString path;            // Windows path
    QString host;
    Layer layer = OnTop;
    QString coveredBy;       // name of the add-on on top, for Covered
    bool changedByHand = false; // the file on disk is not its top layer
    bool removes = false;    // the add-on's layer is "no file"
};

struct Conflict
{
    QString path;
    QList<qint64> layers;    // the enabled add-ons that write it, bottom first: the last wins
};

struct AddOnOutcome
{
    enum Result { Done, NeedsChoice, Refused, Failed };
    Result result = Refused;
    QStringList handEdited;  // Windows paths (NeedsChoice)
    QString message;
    qint64 operation = 0;
    int written = 0;         // game files rewritten
};

class AddOns
{
public:
    AddOns(const QString &programFolder, const QString &gameFolder = QString());
    ~AddOns();
    AddOns(const AddOns &) = delete;
    AddOns &operator=(const AddOns &) = delete;

    bool available() const;
    QString problem() const;

    // Every add-on in layer order, top first.
    QList<AddOn> list();
    QList<AddOnFile> files(qint64 id);
    QList<Conflict> conflicts();

    AddOnOutcome takeOut(qint64 id, HandEdits handEdits);
    AddOnOutcome putBack(qint64 id, HandEdits handEdits);
    // Places id directly above other.
    AddOnOutcome moveAbove(qint64 id, qint64 other, HandEdits handEdits);
    AddOnOutcome rename(qint64 id, const QString &name);
    // Takes every add-on out: the game holds its originals again.
    AddOnOutcome restoreAllOriginals(HandEdits handEdits);
    // An add-on is taken out; a take-out (or an old undo) has what it took out put back.
    AddOnOutcome undo(qint64 id, HandEdits handEdits);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace history
