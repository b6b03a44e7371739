#include "windows/WindowDesk.h"

#include <QMdiSubWindow>
#include <QWidget>

WindowDesk::~WindowDesk() = default;

void WindowDesk::closeWindow(QWidget *window)
{
    if (!window)
        return;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget()))
        sub->close();
    else
        window->close();
}
