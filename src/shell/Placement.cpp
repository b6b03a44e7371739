#include "shell/Placement.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

QRect placeRect(const Place &place, int dy)
{
    return {twipsToPixels(place.left), twipsToPixels(place.top + dy), twipsToPixels(place.width),
            twipsToPixels(place.height)};
}

void placeAt(QWidget *control, const Place &place, int dy) { control->setGeometry(placeRect(place, dy)); }

void placeControl(QWidget *control, const Place &place)
{
    control->setObjectName(QLatin1String(place.name));
    if (place.width > 0) {
        placeAt(control, place);
    } else {
        control->adjustSize();
        control->move(twipsToPixels(place.left), twipsToPixels(place.top));
    }
}

QPushButton *makeButton(QWidget *parent, const Place &place, const char *caption)
{
    auto *button = new QPushButton(QString::fromLatin1(caption), parent);
    placeControl(button, place);
    return button;
}

QMenu *makeMenu(QWidget *owner, const char *name, const char *caption)
{
    auto *menu = new QMenu(QString::fromLatin1(caption), owner);
    menu->setObjectName(QLatin1String(name));
    return menu;
}

QAction *addEntry(QWidget *owner, QMenu *menu, const char *name, const char *caption)
{
    auto *action = new QAction(QString::fromLatin1(caption), owner);
    action->setObjectName(QLatin1String(name));
    menu->addAction(action);
    return action;
}

void centerOnScreen(QWidget *window)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}
