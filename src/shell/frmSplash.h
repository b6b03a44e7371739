#pragma once
#include <QDialog>

class Desk;

class frmSplash : public QDialog
{
    Q_OBJECT
public:
    explicit frmSplash(Desk &desk, QWidget *parent = nullptr);
    ~frmSplash() override;

private:
    Desk &m_desk;
};
