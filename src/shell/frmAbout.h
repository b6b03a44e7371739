#pragma once
#include <QDialog>

class WindowDesk;
class QLabel;

class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(WindowDesk &desk, QWidget *parent = nullptr);
    ~frmAbout() override;

    // Opens an address in the system's web browser; one without a scheme is a web address.
    static void openInSystemBrowser(const QString &address);

    void lblBrackenway_Click();
    void lblFernlow_Click();
    void Label6_Click();
    void cmdClose_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    WindowDesk &m_desk;
    QLabel *m_brackenway = nullptr;
    QLabel *m_fernlow = nullptr;
    QLabel *m_bug = nullptr;
};
