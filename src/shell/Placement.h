#pragma once
// Windows that the design centres on the screen, rather than over whichever window happens
// to be active when they open.
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

inline void centerOnScreen(QWidget *window)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}
