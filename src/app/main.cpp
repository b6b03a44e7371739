#include "platform/WidgetPrompts.h"
#include "shell/Desk.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veldrin"));
    QApplication::setApplicationVersion(QStringLiteral("0.90"));
    Modual1 state;
    WidgetPrompts prompts;
    Desk desk(state, prompts);
    desk.startUp();
    return app.exec();
}
