#include "windows/Placement.h"

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
    keepOnScreen(window);
}

QRect fitInto(const QRect &frame, const QRect &available)
{
    QRect fitted = frame;
    if (fitted.right() > available.right())
        fitted.moveRight(available.right());
    if (fitted.bottom() > available.bottom())
        fitted.moveBottom(available.bottom());
    // Last, so that a frame too large for the area keeps its title bar reachable.
    if (fitted.left() < available.left())
        fitted.moveLeft(available.left());
    if (fitted.top() < available.top())
        fitted.moveTop(available.top());
    return fitted;
}

void keepOnScreen(QWidget *window)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    QRect inner = window->geometry();
    const QRect framed = window->frameGeometry();
    // Until the window system has framed the window, its frame is the client area alone;
    // allow for a usual title bar and thin borders.
    const QMargins edges = framed == inner
        ? QMargins(4, 32, 4, 4)
        : QMargins(inner.left() - framed.left(), inner.top() - framed.top(), framed.right() - inner.right(),
                   framed.bottom() - inner.bottom());
    // Larger than the screen: shrink as far as the window allows, then place.
    const QSize room = available.size().shrunkBy(edges);
    if (inner.width() > room.width() || inner.height() > room.height()) {
        const QSize smaller = inner.size().boundedTo(room).expandedTo(window->minimumSize());
        if (smaller != inner.size()) {
            window->resize(smaller);
            inner.setSize(smaller);
        }
    }
    const QRect frame = inner.marginsAdded(edges);
    const QRect fitted = fitInto(frame, available);
    if (fitted.topLeft() != frame.topLeft())
        window->move(window->pos() + (fitted.topLeft() - frame.topLeft()));
}
