#pragma once
#include <QWidget>

class Desk;

class frmExtra : public QWidget
{
    Q_OBJECT
public:
    explicit frmExtra(Desk &desk, QWidget *parent = nullptr);
    ~frmExtra() override;

private:
    Desk &m_desk;
};
