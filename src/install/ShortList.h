#pragma once
// Messages about many files stay readable: a count and the first few names, the rest left to
// the Install History window, which lists every file of every install.
#include <QString>
#include <QStringList>

namespace history {

// How many names a message shows before it counts the rest.
inline constexpr int kNamesShown = 10;

// The first kNamesShown names joined by separator, then "and 3,990 more: see Tools > Install
// History" when there are more.
QString shortList(const QStringList &names, const QString &separator = QStringLiteral(", "));
// The same for a list of `total` names of which only the first are at hand.
QString shortList(const QStringList &first, qsizetype total, const QString &separator = QStringLiteral(", "));

// A list of names gathered one at a time, of which only the first kNamesShown are held.
struct ShortNames
{
    QStringList first;
    qsizetype count = 0;
    void add(const QString &name)
    {
        if (first.size() < kNamesShown)
            first << name;
        ++count;
    }
    QString joined(const QString &separator = QStringLiteral(", ")) const { return shortList(first, count, separator); }
};

// "1 file", "4,000 files".
QString fileCount(qsizetype n);

} // namespace history
