#pragma once
#include <QWidget>

class Desk;

class frmUpdate : public QWidget
{
    Q_OBJECT
public:
    explicit frmUpdate(Desk &desk, QWidget *parent = nullptr);
    ~frmUpdate() override;

private:
    Desk &m_desk;
};
