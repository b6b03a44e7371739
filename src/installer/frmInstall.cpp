#include "installer/frmInstall.h"

#include "shell/Desk.h"

frmInstall::frmInstall(Desk &desk, QWidget *parent) : QWidget(parent, Qt::Window), m_desk(desk)
{
    setObjectName(QStringLiteral("frmInstall"));
    setWindowTitle(QStringLiteral("Veldrin - Installer"));
}

frmInstall::~frmInstall() = default;
