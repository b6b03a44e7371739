#include "shell/frmAbout.h"

#include "shell/Desk.h"

frmAbout::frmAbout(Desk &desk, QWidget *parent) : QDialog(parent), m_desk(desk)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Veldrin"));
}

frmAbout::~frmAbout() = default;
