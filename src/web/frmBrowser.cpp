#include "web/frmBrowser.h"

#include "shell/Desk.h"

frmBrowser::frmBrowser(Desk &desk, QWidget *parent) : QWidget(parent), m_desk(desk)
{
    setObjectName(QStringLiteral("frmBrowser"));
    setWindowTitle(QStringLiteral("Veldrin - Web Browser"));
}

frmBrowser::~frmBrowser() = default;
