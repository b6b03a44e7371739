#pragma once
#include <QWidget>

class Desk;

class frmReadme : public QWidget
{
    Q_OBJECT
public:
    explicit frmReadme(Desk &desk, QWidget *parent = nullptr);
    ~frmReadme() override;

private:
    Desk &m_desk;
};
