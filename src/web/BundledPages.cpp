#include "web/BundledPages.h"

#include <QUrl>

namespace bundled {

namespace {

const char *const kPages[] = {
    "/index.htm",
    "/manager/help.htm",
    "/manager/history.htm",
    "/manager/submit.htm",
    "/manager/bugreport.htm",
    "/manager/comments.htm",
    "/manager/update/update0.90.htm",
};

// "host" or "host:port", as the program's host settings write it.
QString authorityOf(const QUrl &address)
{
    QString authority = address.host().toLower();
    if (address.port() != -1)
        authority += QLatin1Char(':') + QString::number(address.port());
    return authority;
}

bool sameHost(const QUrl &address, const QString &makerHost)
{
    const QString maker = makerHost.trimmed().toLower();
    if (maker.isEmpty())
        return false;
    if (authorityOf(address) == maker)
        return true;
    // An explicit default port names the same server.
    const int defaultPort = address.scheme() == QLatin1String("https") ? 443 : 80;
    return address.port() == defaultPort && address.host().toLower() == maker;
}

} // namespace

QString pageFor(const QUrl &address, const QString &makerHost)
{
    const QString scheme = address.scheme().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || !sameHost(address, makerHost))
        return QString();

    // The maker's server was a Windows one: paths are not case-sensitive there.
    QString path = address.path().toLower();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);

    if (path.isEmpty() || path == QLatin1String("/index.html") || path == QLatin1String("/default.htm")
        || path == QLatin1String("/manager"))
        return QStringLiteral("/index.htm");
    // The installer links to the update folder itself; its page is the one for this version.
    if (path == QLatin1String("/manager/update"))
        return QStringLiteral("/manager/update/update0.90.htm");
    for (const char *page : kPages) {
        if (path == QLatin1String(page))
            return path;
    }
    return QStringLiteral("/notfound.htm");
}

QUrl resourceUrl(const QString &page) { return QUrl(QLatin1String("qrc:/veldrin-site") + page); }

QUrl localAddress(const QUrl &address, const QString &makerHost)
{
    const QString page = pageFor(address, makerHost);
    if (page.isEmpty())
        return QUrl();
    QUrl local = resourceUrl(page);
    local.setFragment(address.fragment());
    return local;
}

} // namespace bundled
