#include "shell/frmSplash.h"

#include "shell/Desk.h"

frmSplash::frmSplash(Desk &desk, QWidget *parent) : QDialog(parent), m_desk(desk)
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral(""));
}

frmSplash::~frmSplash() = default;
