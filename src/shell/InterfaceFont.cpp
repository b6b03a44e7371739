#include "shell/InterfaceFont.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QString>

// Resources of a static library are only linked in when something asks for them by name.
static void initBundledFonts() { Q_INIT_RESOURCE(fonts); }

namespace interfacefont {

namespace {

QString registeredFamily()
{
    static const QString family = [] {
        initBundledFonts();
        // Regular for every caption, bold for the About box's headings; synthesised bold would
        // come out wider than the real face and could clip.
        QString name;
        for (const char *file : {":/fonts/LiberationSans-Regular.ttf", ":/fonts/LiberationSans-Bold.ttf"}) {
            const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(file));
            const QStringList families = QFontDatabase::applicationFontFamilies(id);
            if (name.isEmpty() && !families.isEmpty())
                name = families.first();
        }
        // Without the bundled face (a broken build), Arial's metrics are the next best thing.
        return name.isEmpty() ? QStringLiteral("Arial") : name;
    }();
    return family;
}

} // namespace

QFont font()
{
    QFont face(registeredFamily());
    face.setPixelSize(kPixelSize);
    face.setStyleHint(QFont::SansSerif);
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
