#include "web/frmUpdate.h"

#include "shell/Desk.h"

frmUpdate::frmUpdate(Desk &desk, QWidget *parent) : QWidget(parent, Qt::Window), m_desk(desk)
{
    setObjectName(QStringLiteral("frmUpdate"));
    setWindowTitle(QStringLiteral("Veldrin - Updates"));
}

frmUpdate::~frmUpdate() = default;
