#include "web/PageValues.h"

#include "common/Hosts.h"
#include "platform/WinPath.h"

#include <QSysInfo>

namespace bundled {

namespace {

QString winePrefixText()
{
#ifdef Q_OS_WIN
    return QStringLiteral("none needed (running on Windows)");
#else
    // Drive C: is the prefix's drive_c when there is a prefix, the root of the host when not.
    QString driveC = winpath::driveRoot(QLatin1Char('C'));
    if (!driveC.endsWith(QLatin1String("/drive_c")))
        return QStringLiteral("not found");
    driveC.chop(int(qstrlen("/drive_c")));
    return QStringLiteral("found at %1").arg(driveC);
#endif
}

} // namespace

PageValues pageValues()
{
    return {
        {QStringLiteral("VERSION"), QStringLiteral("0.90 \"Beta 1\"")},
        {QStringLiteral("QT_VERSION"), QString::fromLatin1(qVersion())},
        {QStringLiteral("OS"), QStringLiteral("%1 (%2 %3, %4)")
                                   .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(),
                                        QSysInfo::kernelVersion(), QSysInfo::currentCpuArchitecture())},
        {QStringLiteral("WINE_PREFIX"), winePrefixText()},
        {QStringLiteral("REPORT_ADDRESS"), hosts::reportAddress()},
        {QStringLiteral("MAKER_HOST"), hosts::maker()},
        {QStringLiteral("FORUMS_URL"), hosts::forums()},
    };
}

} // namespace bundled
