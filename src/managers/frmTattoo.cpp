#include "managers/frmTattoo.h"

#include "shell/Desk.h"

frmTattoo::frmTattoo(Desk &desk, QWidget *parent) : QWidget(parent), m_desk(desk)
{
    setObjectName(QStringLiteral("frmTattoo"));
    setWindowTitle(QStringLiteral("Veldrin - Tattoos"));
}

frmTattoo::~frmTattoo() = default;
