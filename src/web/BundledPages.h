#pragma once
// The maker's own pages travel with the program, so help and update pages work without a
// network and without the maker's server. This decides which addresses they answer.
#include <QMap>
#include <QString>

class QUrl;

namespace bundled {

// Makes the bundled pages readable under ":/veldrin-site". They live in a static library, whose
// resources are not registered until asked. Harmless to call again.
void loadResources();

// The bundled page that stands for a web address on the maker's host, as a path inside
// the bundle ("/manager/help.htm"), or an empty text when the address is not the maker's.
// Every address on the maker's host has an answer: unknown paths get the bundle's
// "not found" page rather than a network error from a host that may not exist.
QString pageFor(const QUrl &address, const QString &makerHost);

// The address of a bundled page inside the program's resources.
QUrl resourceUrl(const QString &page);

// The program's own values a bundled page shows where it says {{NAME}}: the version, the Qt
// version, the operating system, the Wine prefix, the address to write to, and the hosts.
using PageValues = QMap<QString, QString>;

// The page with every known {{NAME}} replaced by its value, made safe as HTML text. Names it
// does not know stay as they are.
QByteArray fill(const QByteArray &html, const PageValues &values);

// The same filling as a script the web engine runs on a bundled page once it is loaded.
QString fillScript(const PageValues &values);

// Where a web address is to be loaded from: the bundled copy for the maker's pages (the
// place in the page kept), or an empty address when the network should answer it.
QUrl localAddress(const QUrl &address, const QString &makerHost);

} // namespace bundled
