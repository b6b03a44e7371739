#pragma once
// The browser window's line about the files its links lead to: it places each download in
// the program folder's Downloads\, shows how far the latest one has come, cancels it, and
// offers to install an add-on once it is saved.
#include "windows/web/WebPane.h"

#include <QFrame>
#include <QPointer>
#include <map>
#include <memory>

class WindowDesk;
class QLabel;
class QPushButton;
namespace downloads { class PartFile; }

class DownloadBar : public QFrame, public DownloadWatcher
{
public:
    DownloadBar(WindowDesk &desk, WebPane &pane, QWidget *parent);
    ~DownloadBar() override;

    // Height in pixels when shown.
    int barHeight() const;

    QString downloadAsked(int id, const QString &suggestedName) override;
    void downloadProgress(int id, qint64 received, qint64 total) override;
    void downloadEnded(int id, End end, const QString &reason) override;

private:
    struct Entry;
    void showLine(const QString &text, bool running);
    void showLatest();
    void cmdCancelDownload_Click();
    void offerInstall(const QString &hostPath, const QString &name);

    WindowDesk &m_desk;
    QPointer<WebPane> m_pane;
    QLabel *m_lblDownload = nullptr;
    QPushButton *m_cmdCancelDownload = nullptr;
    QPushButton *m_cmdCloseDownload = nullptr;
    std::map<int, std::unique_ptr<Entry>> m_running;
    int m_shown = 0; // the running download the line and Cancel are about
};
