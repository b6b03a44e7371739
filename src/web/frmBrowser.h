#pragma once
#include <QWidget>

class Desk;

class frmBrowser : public QWidget
{
    Q_OBJECT
public:
    explicit frmBrowser(Desk &desk, QWidget *parent = nullptr);
    ~frmBrowser() override;

private:
    Desk &m_desk;
};
