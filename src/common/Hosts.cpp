#include "common/Hosts.h"

namespace hosts {

namespace {
QString fromEnv(const char *name, const char *fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString::fromLatin1(fallback) : value;
}
} // namespace

QString maker() { return fromEnv("VELDRIN_MAKER_HOST", "www.brackenway.example"); }
QString partner() { return fromEnv("VELDRIN_PARTNER_HOST", "www.fernlow.example"); }
QString forums() { return fromEnv("VELDRIN_FORUMS_URL", "http://forums.blackandwhite.example"); }
QString reportAddress() { return fromEnv("VELDRIN_REPORT_ADDRESS", "veldrin@brackenway.example"); }

QString withScheme(const QString &address)
{
    if (address.contains(QLatin1String("://")) || address.startsWith(QLatin1String("about:"))
        || address.startsWith(QLatin1String("qrc:")) || address.startsWith(QLatin1String("data:")))
        return address;
    return QLatin1String("http://") + address;
}

} // namespace hosts
