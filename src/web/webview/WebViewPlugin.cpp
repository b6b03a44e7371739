// The web engine's page area, built as a plugin so that the program only pays for the
// engine once a browser or update window is opened.
#include "web/BundledPages.h"
#include "web/WebPane.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
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

private:
    QWebEngineView *m_view = nullptr;
    BundlePage *m_page = nullptr;
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
