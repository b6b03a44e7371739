#pragma once
// The web hosts the program links to, and the one address players write to. One place,
// overridable from the environment (VELDRIN_MAKER_HOST, VELDRIN_PARTNER_HOST,
// VELDRIN_FORUMS_URL, VELDRIN_REPORT_ADDRESS) so that tests can point every link at a local
// server and a build for another site can name its own address.
#include <QString>

namespace hosts {

QString maker();   // host name only, e.g. "www.brackenway.example"
QString partner(); // host name only
QString forums();  // full address with its scheme
// The e-mail address for bug reports, submissions and comments alike.
QString reportAddress();

// An address as the browser should load it: one without a scheme is a web address.
QString withScheme(const QString &address);

} // namespace hosts
