#include "managers/frmMap.h"

#include "shell/Desk.h"

frmMap::frmMap(Desk &desk, QWidget *parent) : QWidget(parent), m_desk(desk)
{
    setObjectName(QStringLiteral("frmMap"));
    setWindowTitle(QStringLiteral("Veldrin Beta 1 - Maps"));
}

frmMap::~frmMap() = default;
