#include "shell/frmOptions.h"

#include "shell/Desk.h"

frmOptions::frmOptions(Desk &desk, QWidget *parent) : QDialog(parent), m_desk(desk)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Veldrin - Options"));
}

frmOptions::~frmOptions() = default;
