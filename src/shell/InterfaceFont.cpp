#include "shell/InterfaceFont.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QResource>
#include <QString>

// Resources of a static library are only linked in when something asks for them by name.
static void initBundledFonts() { Q_INIT_RESOURCE(fonts); }

namespace interfacefont {

namespace {

// Registers one bundled face straight from the program's own bytes: no copy, no unpacking.
// Gives its family name, or an empty one when the face is missing.
QString addFace(const char *path)
{
    static const bool initialised = (initBundledFonts(), true);
    Q_UNUSED(initialised);
    const QResource resource(QString::fromLatin1(path));
    QByteArray bytes;
    if (resource.compressionAlgorithm() == QResource::NoCompression)
        bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(resource.data()), qsizetype(resource.size()));
    else
        bytes = resource.uncompressedData();
    const QStringList families = QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFontFromData(bytes));
    return families.isEmpty() ? QString() : families.first();
}

QString family()
{
    static const QString name = [] {
        const QString added = addFace(":/fonts/LiberationSans-Regular.ttf");
        // Without the bundled face (a broken build), Arial's widths are the next best thing.
        return added.isEmpty() ? QStringLiteral("Arial") : added;
    }();
    return name;
}

} // namespace

QFont font()
{
    QFont face(family());
    face.setPixelSize(kPixelSize);
    face.setStyleHint(QFont::SansSerif);
    return face;
}

QFont boldFont()
{
    // Only the About box writes in bold; the face is registered when it is first asked for.
    static const bool added = !addFace(":/fonts/LiberationSans-Bold.ttf").isEmpty();
    Q_UNUSED(added);
    QFont face = font();
    face.setBold(true);
    return face;
}

void apply()
{
    static bool applied = false;
    if (applied)
        return;
    applied = true;
    QApplication::setFont(font());
}

} // namespace interfacefont
