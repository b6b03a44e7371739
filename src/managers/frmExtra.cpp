#include "managers/frmExtra.h"

#include "shell/Desk.h"

frmExtra::frmExtra(Desk &desk, QWidget *parent) : QWidget(parent), m_desk(desk)
{
    setObjectName(QStringLiteral("frmExtra"));
    setWindowTitle(QStringLiteral("Veldrin - Skin / Landscape Mode"));
}

frmExtra::~frmExtra() = default;
