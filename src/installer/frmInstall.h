#pragma once
#include <QWidget>

class Desk;

class frmInstall : public QWidget
{
    Q_OBJECT
public:
    explicit frmInstall(Desk &desk, QWidget *parent = nullptr);
    ~frmInstall() override;

private:
    Desk &m_desk;
};
