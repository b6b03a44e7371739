#include "web/BundledPages.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>

// The resource initialiser has to be called from the global namespace.
static void loadSite() { Q_INIT_RESOURCE(site); }

namespace bundled {

void loadResources() { loadSite(); }

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

QByteArray fill(const QByteArray &html, const PageValues &values)
{
    static const QRegularExpression placeholder(QStringLiteral("\\{\\{([A-Z_]+)\\}\\}"));
    const QString text = QString::fromUtf8(html);
    QString out;
    out.reserve(text.size());
    qsizetype done = 0;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const auto value = values.constFind(m.captured(1));
        if (value == values.constEnd())
            continue;
        out += QStringView(text).mid(done, m.capturedStart() - done);
        out += value->toHtmlEscaped();
        done = m.capturedEnd();
    }
    out += QStringView(text).mid(done);
    return out.toUtf8();
}

QString fillScript(const PageValues &values)
{
    QJsonObject escaped;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        escaped.insert(it.key(), it.value().toHtmlEscaped());
    // Only the bundled pages: a page from the network has no business with these values.
    return QStringLiteral("(function () {\n"
                          "  if (location.protocol !== 'qrc:' || !document.body) return;\n"
                          "  var v = %1;\n"
                          "  document.body.innerHTML = document.body.innerHTML.replace(/\\{\\{([A-Z_]+)\\}\\}/g,\n"
                          "    function (m, k) { return Object.prototype.hasOwnProperty.call(v, k) ? v[k] : m; });\n"
                          "})();")
        .arg(QString::fromUtf8(QJsonDocument(escaped).toJson(QJsonDocument::Compact)));
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
