#pragma once
// The web hosts the program links to. One place, overridable from the environment
// (VELDRIN_MAKER_HOST, VELDRIN_PARTNER_HOST, VELDRIN_FORUMS_URL) so that tests can point
// every link at a local server.
#include <QString>

namespace hosts {

QString maker();   // host name only, e.g. "www.brackenway.example"
QString partner(); // host name only
QString forums();  // full address with its scheme

// An address as the browser should load it: one without a scheme is a web address.
QString withScheme(const QString &address);

} // namespace hosts
