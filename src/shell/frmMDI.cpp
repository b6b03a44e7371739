#include "shell/frmMDI.h"

#include "shell/Desk.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStatusBar>

frmMDI::frmMDI(Desk &desk, QWidget *parent) : QMainWindow(parent), m_desk(desk)
{
    setObjectName(QStringLiteral("frmMDI"));
    setWindowTitle(QStringLiteral("Veldrin Beta 1 - Welcome"));

    m_area = new QMdiArea(this);
    m_area->setObjectName(QStringLiteral("MDIClient"));
    m_area->setBackground(palette().brush(QPalette::Dark));
    setCentralWidget(m_area);

    m_menus = new QStackedWidget(this);
    m_frameMenu = new QMenuBar(m_menus);
    m_frameMenu->setObjectName(QStringLiteral("frmMDIMenu"));
    m_menus->addWidget(m_frameMenu);
    setMenuWidget(m_menus);

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("stat1"));
    m_welcome = new QLabel(status);
    m_welcome->setObjectName(QStringLiteral("stat1Panel1"));
    m_progress = new QLabel(status);
    m_progress->setObjectName(QStringLiteral("stat1Panel2"));
    status->addWidget(m_welcome);
    status->addWidget(m_progress, 1);
    setStatusBar(status);

    buildMenus();
    connect(m_area, &QMdiArea::subWindowActivated, this, &frmMDI::updateMenuBar);
}

frmMDI::~frmMDI() = default;

void frmMDI::adoptMenuBar(QWidget *child, QMenuBar *bar)
{
    bar->setParent(m_menus);
    m_menus->addWidget(bar);
    bar->setProperty("veldrinOwner", QVariant::fromValue(static_cast<QObject *>(child)));
    connect(child, &QObject::destroyed, bar, [this, bar] {
        m_menus->removeWidget(bar);
        bar->deleteLater();
        updateMenuBar();
    });
    updateMenuBar();
}

QMenuBar *frmMDI::currentMenuBar() const { return qobject_cast<QMenuBar *>(m_menus->currentWidget()); }

void frmMDI::updateMenuBar()
{
    QMdiSubWindow *active = m_area->activeSubWindow();
    QWidget *child = active ? active->widget() : nullptr;
    QWidget *chosen = m_frameMenu;
    if (child) {
        for (int i = 1; i < m_menus->count(); ++i) {
            QWidget *bar = m_menus->widget(i);
            if (bar->property("veldrinOwner").value<QObject *>() == child)
                chosen = bar;
        }
    }
    m_menus->setCurrentWidget(chosen);
    // The stack takes the size of its largest page; keep it at the height of a menu bar.
    m_menus->setFixedHeight(chosen->sizeHint().height());
}

void frmMDI::setProgressText(const QString &text) { m_progress->setText(text); }

void frmMDI::MDIForm_Load()
{
    // Filled in with the splash and the status text.
}

void frmMDI::buildMenus()
{
}
