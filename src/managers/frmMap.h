#pragma once
#include <QWidget>

class Desk;

class frmMap : public QWidget
{
    Q_OBJECT
public:
    explicit frmMap(Desk &desk, QWidget *parent = nullptr);
    ~frmMap() override;

private:
    Desk &m_desk;
};
