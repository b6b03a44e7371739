#pragma once
// The maker's own pages travel with the program, so help and update pages work without a
// network and without the maker's server. This decides which addresses they answer.
#include <QString>

class QUrl;

namespace bundled {

// The bundled page that stands for a web address on the maker's host, as a path inside
// the bundle ("/manager/help.htm"), or an empty text when the address is not the maker's.
// Every address on the maker's host has an answer: unknown paths get the bundle's
// "not found" page rather than a network error from a host that may not exist.
QString pageFor(const QUrl &address, const QString &makerHost);

// The address of a bundled page inside the program's resources.
QUrl resourceUrl(const QString &page);

// Where a web address is to be loaded from: the bundled copy for the maker's pages (the
// place in the page kept), or an empty address when the network should answer it.
QUrl localAddress(const QUrl &address, const QString &makerHost);

} // namespace bundled
