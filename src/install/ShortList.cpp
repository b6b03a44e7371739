#include "install/ShortList.h"

#include <QLocale>

namespace history {

namespace {

QString number(qsizetype n) { return QLocale(QLocale::English, QLocale::UnitedStates).toString(qint64(n)); }

} // namespace

QString shortList(const QStringList &names, const QString &separator)
{
    return shortList(names.first(qMin(names.size(), qsizetype(kNamesShown))), names.size(), separator);
}

QString shortList(const QStringList &first, qsizetype total, const QString &separator)
{
    const QStringList shown = first.first(qMin(first.size(), qsizetype(kNamesShown)));
    if (total <= shown.size())
        return shown.join(separator);
    // On a list of lines the rest gets a line of its own.
    const QString before = separator.contains(QLatin1Char('\n')) ? separator : QStringLiteral(" ");
    return shown.join(separator) + before
        + QStringLiteral("and %1 more: see Tools > Install History").arg(number(total - shown.size()));
}

QString fileCount(qsizetype n) { return n == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(number(n)); }

} // namespace history
