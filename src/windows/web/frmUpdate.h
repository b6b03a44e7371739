#pragma once
#include <QWidget>

class WindowDesk;
class DownloadBar;
class WebPane;

// A small stand-alone window that shows the maker's update page for this version.
class frmUpdate : public QWidget
{
    Q_OBJECT
public:
    explicit frmUpdate(WindowDesk &desk, QWidget *parent = nullptr);
    ~frmUpdate() override;

    WebPane *web1() const { return m_web1; }

private:
    void Form_Load();
    void cmdClose_Click();

    WebPane *m_web1 = nullptr;
    DownloadBar *m_downloads = nullptr;
};
