#include "install/InstallTransaction.h"
#include "install/TransactionPrivate.h"
#include "platform/Fail.h"

#include <algorithm>
#include <atomic>

// The slots of an install: held while they are needed, let go once the journal holds their
// rows whole, and read back from there, so that a package of any number of files is installed
// in about the same memory.

namespace install {

namespace {

// An install writes a batch of up to 2,048 files at a time: this many slots hold a batch with
// room to spare, and are read back from the journal a quarter at a time.
constexpr int kLiveSlots = 4096;
std::atomic<int> g_liveSlots{kLiveSlots};

using failure::fail;

} // namespace

void Transaction::liveSlotsForTesting(int n) { g_liveSlots = n > 0 ? n : kLiveSlots; }
int Transaction::plannedAtOnce() { return qMax(1, g_liveSlots / 2); }

int Transaction::Private::known(const QString &real)
{
    const auto exact = byPlace.constFind(real);
    if (exact != byPlace.constEnd())
        return *exact;
    const auto first = byHash.constFind(qHash(real));
    if (first == byHash.constEnd())
        return -1;
    // The same hash is almost always the same place; another place is kept by itself.
    return slot(*first).t.real == real ? *first : -1;
}

int Transaction::Private::append(Slot &&s)
{
    s.index = count++;
    plansHistory = plansHistory || s.t.history;
    const size_t hash = qHash(s.t.real);
    if (byHash.contains(hash))
        byPlace.insert(s.t.real, s.index);
    else
        byHash.insert(hash, s.index);
    const int index = s.index;
    live.emplace(index, std::move(s));
    return index;
}

Transaction::Private::Slot *Transaction::Private::find(int index, QString *error)
{
    const auto held = live.find(index);
    if (held != live.end())
        return &held->second;
    if (index < 0 || index >= recorded || !journal || !op) {
        fail(error, QStringLiteral("no file name"));
        return nullptr;
    }
    if (int(live.size()) >= g_liveSlots)
        trim();
    // Slots are read back a run at a time: an install goes through them in order, forwards
    // when it writes and backwards when it puts them back.
    const int run = qMax(1, g_liveSlots / 4);
    const int from = index / run * run;
    const int to = qMin(from + run, recorded);
    QString why;
    const auto rows = journal->rows(op, from, to, &why);
    if (!rows) {
        fail(error, QStringLiteral("the install history could not give back its record (%1)").arg(why));
        return nullptr;
    }
    for (const history::FileRow &r : *rows) {
        if (r.seq < from || r.seq >= to || live.count(r.seq))
            continue;
        Slot s;
        s.index = r.seq;
        s.t.path = r.path;
        s.t.host = r.host;
        s.t.real = r.host;
        judgePlace(s.t);
        s.t.existed = r.existed;
        s.previous = r.previous;
        s.kept = r.kept;
        s.linked = r.seq < linkedAway.size() && linkedAway.testBit(r.seq);
        if (s.linked)
            linkedAway.clearBit(r.seq);
        s.touched = r.touched;
        s.written = r.written;
        s.writtenSize = r.size;
        s.writtenMtime = r.mtime;
        s.saved = true;
        live.emplace(r.seq, std::move(s));
    }
    const auto back = live.find(index);
    if (back == live.end()) {
        fail(error, QStringLiteral("the install history holds no record of it"));
        return nullptr;
    }
    return &back->second;
}

Transaction::Private::Slot &Transaction::Private::slot(int index)
{
    Slot *s = find(index);
    if (s)
        return *s;
    // Nothing may be written through a slot the journal could not give back.
    lost = Slot();
    lost.index = index;
    lost.t.history = true;
    return lost;
}

QList<int> Transaction::Private::unsaved() const
{
    QList<int> out;
    for (const auto &[index, s] : live) {
        if (!s.saved)
            out << index;
    }
    std::sort(out.begin(), out.end());
    return out;
}

void Transaction::Private::trim()
{
    if (!journal || !op || int(live.size()) <= g_liveSlots)
        return;
    settle();
    QList<int> save;
    for (const auto &[index, s] : live) {
        // A time still inside the clock's last tick is not saved as trusted: the slot waits
        // for the next save, or for the end.
        if (!s.saved && index < recorded && !s.waiting
            && !(s.writtenSize >= 0 && s.writtenMtime >= settledBefore))
            save << index;
    }
    std::sort(save.begin(), save.end());
    if (!save.isEmpty()) {
        QString why;
        if (!journal->save(op, save.size(), [&](qsizetype k) { return row(live.at(save.at(k))); }, &why))
            return; // held on to: the end of the install records them, or says why not
        for (const int index : std::as_const(save))
            live.at(index).saved = true;
    }
    if (linkedAway.size() < recorded)
        linkedAway.resize(recorded);
    for (auto it = live.begin(); it != live.end();) {
        const Slot &s = it->second;
        if (s.saved && it->first < recorded && !s.waiting && !s.memoryTaken) {
            if (s.linked)
                linkedAway.setBit(it->first);
            it = live.erase(it);
            letGo = true;
        } else {
            ++it;
        }
    }
}

} // namespace install
