#include "readme/frmReadme.h"

#include "shell/Desk.h"

frmReadme::frmReadme(Desk &desk, QWidget *parent) : QWidget(parent), m_desk(desk)
{
    setObjectName(QStringLiteral("frmReadme"));
    setWindowTitle(QStringLiteral("Veldrin - Readme Creator"));
}

frmReadme::~frmReadme() = default;
