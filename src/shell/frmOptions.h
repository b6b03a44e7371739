#pragma once
#include <QDialog>

class Desk;

class frmOptions : public QDialog
{
    Q_OBJECT
public:
    explicit frmOptions(Desk &desk, QWidget *parent = nullptr);
    ~frmOptions() override;

private:
    Desk &m_desk;
};
