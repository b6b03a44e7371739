#pragma once
#include <QWidget>

class WindowDesk;
class DownloadBar;
class QLabel;
class QLineEdit;
class QPushButton;
class WebPane;

// The program's own web browser, a child of the frame. Every web link of the program
// arrives here through the desk's shared browser address.
class frmBrowser : public QWidget
{
    Q_OBJECT
public:
    explicit frmBrowser(WindowDesk &desk, QWidget *parent = nullptr);
    ~frmBrowser() override;

    QSize sizeHint() const override;
    WebPane *web1() const { return m_web1; }
    DownloadBar *downloadBar() const { return m_downloads; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void Form_Load();
    void Form_Resize();
    void cmdBack_Click();
    void cmdForward_Click();
    void cmdStop_Click();
    void cmdRefresh_Click();
    void cmdGo_Click();
    QSize outerSize() const;

    WindowDesk &m_desk;
    QPushButton *m_cmdBack = nullptr;
    QPushButton *m_cmdForward = nullptr;
    QPushButton *m_cmdStop = nullptr;
    QPushButton *m_cmdRefresh = nullptr;
    QLabel *m_lblAddress = nullptr;
    QLineEdit *m_txtNav = nullptr;
    QPushButton *m_cmdGo = nullptr;
    WebPane *m_web1 = nullptr;
    DownloadBar *m_downloads = nullptr;
};
