#pragma once
#include <QDialog>

class Desk;

class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(Desk &desk, QWidget *parent = nullptr);
    ~frmAbout() override;

private:
    Desk &m_desk;
};
