#pragma once
#include <QWidget>

class Desk;

class frmTattoo : public QWidget
{
    Q_OBJECT
public:
    explicit frmTattoo(Desk &desk, QWidget *parent = nullptr);
    ~frmTattoo() override;

private:
    Desk &m_desk;
};
