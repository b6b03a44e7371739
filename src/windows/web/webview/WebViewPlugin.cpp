// The web engine's page area, built as a plugin so that the program only pays for the
// engine once a browser or update window is opened.
#include "web/BundledPages.h"
#include "windows/web/WebPane.h"

#include <QFileInfo>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

namespace {

// Sends every page of the maker's host to its bundled copy, whether it was typed,
// handed over by a window, or reached by a link on some other page.
class BundlePage : public QWebEnginePage
{
public:
    BundlePage(const QString &makerHost, QObject *parent)
        : QWebEnginePage(QWebEngineProfile::defaultProfile(), parent), m_makerHost(makerHost)
    {
    }

    // The address to load for a requested one.
    QUrl mapped(const QUrl &address) const
    {
        const QUrl local = bundled::localAddress(address, m_makerHost);
        return local.isEmpty() ? address : local;
    }

protected:
    // Links that ask for a new window open here: the program has one browser window.
    QWebEnginePage *createWindow(WebWindowType) override { return this; }

    bool acceptNavigationRequest(const QUrl &address, NavigationType type, bool isMainFrame) override
    {
        if (!isMainFrame)
            return true;
        const QUrl target = mapped(address);
        if (target == address)
            return QWebEnginePage::acceptNavigationRequest(address, type, isMainFrame);
        // A new load cannot start from inside the decision on this one.
        QPointer<BundlePage> self(this);
        QTimer::singleShot(0, this, [self, target] {
            if (self)
                self->load(target);
        });
        return false;
    }

private:
    QString m_makerHost;
};

class EnginePane : public WebPane
{
public:
    EnginePane(const QString &makerHost, const bundled::PageValues &values, QWidget *parent) : WebPane(parent)
    {
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        m_view = new QWebEngineView(this);
        m_page = new BundlePage(makerHost, m_view);
        // The bundled files are fixed resources; the program's values go in once a page is there.
        QWebEngineScript fill;
        fill.setName(QStringLiteral("veldrin-fill"));
        fill.setInjectionPoint(QWebEngineScript::DocumentReady);
        fill.setWorldId(QWebEngineScript::ApplicationWorld);
        fill.setSourceCode(bundled::fillScript(values));
        m_page->scripts().insert(fill);
        m_view->setPage(m_page);
        layout->addWidget(m_view);
        // The profile is shared by every page area; each takes the downloads of its own page.
        QObject::connect(m_page->profile(), &QWebEngineProfile::downloadRequested, this,
                         [this](QWebEngineDownloadRequest *request) { downloadRequested(request); });
    }

    ~EnginePane() override
    {
        // A window that goes away takes its unfinished downloads with it: nobody is left to
        // move them into place.
        m_watcher = nullptr;
        for (const QPointer<QWebEngineDownloadRequest> &request : std::as_const(m_downloads)) {
            if (request && !request->isFinished())
                request->cancel();
        }
    }

    void go(const QUrl &address) override { m_page->load(m_page->mapped(address)); }
    void back() override
    {
        if (canGoBack())
            m_view->back();
    }
    void forward() override
    {
        if (canGoForward())
            m_view->forward();
    }
    void stop() override { m_view->stop(); }
    void reload() override { m_view->reload(); }
    bool canGoBack() const override { return m_view->history()->canGoBack(); }
    bool canGoForward() const override { return m_view->history()->canGoForward(); }
    QUrl url() const override { return m_page->url(); }
    QString title() const override { return m_page->title(); }

    void setDownloadWatcher(DownloadWatcher *watcher) override { m_watcher = watcher; }
    void cancelDownload(int id) override
    {
        if (QWebEngineDownloadRequest *request = m_downloads.value(id))
            request->cancel();
    }

private:
    // Not accepted here, a request is refused by the engine once this returns.
    void downloadRequested(QWebEngineDownloadRequest *request)
    {
        if (request->page() != m_page || !m_watcher)
            return;
        // The engine starts a download whose connection broke over again, from its first byte,
        // as a new request of the same number. The player hears that it broke instead: a
        // half-fetched file is never passed off as one still coming.
        if (const int broken = m_engineIds.value(request->id()); broken && m_downloads.contains(broken)) {
            m_downloads.remove(broken);
            request->cancel();
            m_watcher->downloadEnded(broken, DownloadWatcher::End::Failed,
                                     QStringLiteral("the connection to the server was lost"));
            return;
        }
        const int id = ++m_lastId;
        m_engineIds.insert(request->id(), id);
        const QString path = m_watcher->downloadAsked(id, request->suggestedFileName());
        if (path.isEmpty())
            return;
        const QFileInfo where(path);
        request->setDownloadDirectory(where.absolutePath());
        request->setDownloadFileName(where.fileName());
        m_downloads.insert(id, request);
        const auto progress = [this, id, request] {
            if (m_watcher)
                m_watcher->downloadProgress(id, request->receivedBytes(), request->totalBytes());
        };
        QObject::connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, this, progress);
        QObject::connect(request, &QWebEngineDownloadRequest::totalBytesChanged, this, progress);
        const auto ended = [this, id, request] {
            const auto state = request->state();
            if (!m_downloads.contains(id) || state == QWebEngineDownloadRequest::DownloadRequested
                || state == QWebEngineDownloadRequest::DownloadInProgress)
                return;
            m_downloads.remove(id);
            // The engine keeps an interrupted download to resume it later; the player asked for a
            // file, not a half one, so it is given up and its bytes go.
            if (state == QWebEngineDownloadRequest::DownloadInterrupted)
                request->cancel();
            if (!m_watcher)
                return;
            if (state == QWebEngineDownloadRequest::DownloadCompleted)
                m_watcher->downloadEnded(id, DownloadWatcher::End::Completed, QString());
            else if (state == QWebEngineDownloadRequest::DownloadCancelled)
                m_watcher->downloadEnded(id, DownloadWatcher::End::Cancelled, QString());
            else
                m_watcher->downloadEnded(id, DownloadWatcher::End::Failed, request->interruptReasonString());
        };
        // A finished download has its bytes in place only once isFinished is set; an interrupted
        // one never sets it.
        QObject::connect(request, &QWebEngineDownloadRequest::isFinishedChanged, this, ended);
        QObject::connect(request, &QWebEngineDownloadRequest::stateChanged, this, [ended, request] {
            if (request->state() == QWebEngineDownloadRequest::DownloadInterrupted)
                ended();
        });
        request->accept();
    }

    QWebEngineView *m_view = nullptr;
    BundlePage *m_page = nullptr;
    DownloadWatcher *m_watcher = nullptr;
    QHash<int, QPointer<QWebEngineDownloadRequest>> m_downloads;
    QHash<quint32, int> m_engineIds;
    int m_lastId = 0;
};

} // namespace

class WebViewPlugin : public QObject, public WebPaneFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VeldrinWebPaneFactory_iid)
    Q_INTERFACES(WebPaneFactory)
public:
    WebPane *createPane(const QString &makerHost, const QMap<QString, QString> &pageValues, QWidget *parent) override
    {
        return new EnginePane(makerHost, pageValues, parent);
    }
};

#include "WebViewPlugin.moc"
