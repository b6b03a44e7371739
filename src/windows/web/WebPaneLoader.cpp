#include "windows/web/WebPaneLoader.h"

#include "common/Hosts.h"
#include "web/BundledPages.h"
#include "web/PageValues.h"
#include "windows/web/WebPane.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPluginLoader>
#include <QTextBrowser>
#include <QVBoxLayout>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace webpane {

namespace {

void allowRunningAsRoot()
{
#ifdef Q_OS_UNIX
    // Containers and live systems often run as root; better an unsandboxed page than none.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
}

// A text browser that fills the program's values into the bundled pages as it reads them.
class FillingBrowser : public QTextBrowser
{
public:
    FillingBrowser(const bundled::PageValues &values, QWidget *parent) : QTextBrowser(parent), m_values(values) {}

    QVariant loadResource(int type, const QUrl &name) override
    {
        QVariant resource = QTextBrowser::loadResource(type, name);
        if (type != QTextDocument::HtmlResource || name.scheme() != QLatin1String("qrc"))
            return resource;
        if (resource.typeId() == QMetaType::QString)
            return QString::fromUtf8(bundled::fill(resource.toString().toUtf8(), m_values));
        return bundled::fill(resource.toByteArray(), m_values);
    }

private:
    bundled::PageValues m_values;
};

// Without the web engine: the bundled pages still show (they are plain HTML), anything
// else gets a page saying why it cannot be shown.
class TextPane : public WebPane
{
public:
    TextPane(const QString &makerHost, QWidget *parent) : WebPane(parent), m_makerHost(makerHost)
    {
        bundled::loadResources();
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        auto *notice = new QLabel(QStringLiteral("The web view is unavailable: only Veldrin's own pages can be shown."),
                                  this);
        notice->setObjectName(QStringLiteral("lblUnavailable"));
        notice->setWordWrap(true);
        m_view = new FillingBrowser(bundled::pageValues(), this);
        m_view->setOpenLinks(false);
        layout->addWidget(notice);
        layout->addWidget(m_view, 1);
        QObject::connect(m_view, &QTextBrowser::anchorClicked, this,
                         [this](const QUrl &link) { go(m_view->source().resolved(link)); });
    }

    void go(const QUrl &address) override
    {
        m_address = address;
        if (address.scheme() == QLatin1String("qrc")) {
            m_view->setSource(address);
            return;
        }
        const QUrl local = bundled::localAddress(address, m_makerHost);
        if (!local.isEmpty()) {
            m_view->setSource(local);
            return;
        }
        m_view->setHtml(QStringLiteral("<html><head><title>Web view unavailable</title></head><body>"
                                       "<h2>This page cannot be shown</h2>"
                                       "<p>The web view is unavailable on this computer, so <b>%1</b> cannot be "
                                       "opened here. Open it in your own web browser instead.</p>"
                                       "<p>Downloading add-ons from a link also needs the web view: save them "
                                       "with your own web browser and install them with Veldrin's installer."
                                       "</p></body></html>")
                            .arg(address.toString().toHtmlEscaped()));
    }
    void back() override { m_view->backward(); }
    void forward() override { m_view->forward(); }
    void stop() override {}
    void reload() override { m_view->reload(); }
    bool canGoBack() const override { return m_view->isBackwardAvailable(); }
    bool canGoForward() const override { return m_view->isForwardAvailable(); }
    QUrl url() const override { return m_view->source().isEmpty() ? m_address : m_view->source(); }
    QString title() const override { return m_view->documentTitle(); }

private:
    QString m_makerHost;
    QTextBrowser *m_view = nullptr;
    QUrl m_address;
};

QStringList pluginCandidates()
{
    // A plugin named in the environment is the only one tried, so that a broken or
    // missing one shows as such instead of being papered over by another copy.
    const QString fromEnv = qEnvironmentVariable("VELDRIN_WEBVIEW_PLUGIN");
    if (!fromEnv.isEmpty())
        return {fromEnv};
    const QString file = QStringLiteral(VELDRIN_WEBVIEW_FILE);
    const QDir programDir(QCoreApplication::applicationDirPath());
    QStringList candidates;
    // Where installing puts it, relative to the program, then beside the program.
    candidates << QDir::cleanPath(programDir.filePath(QStringLiteral(VELDRIN_WEBVIEW_FROM_BIN) + QLatin1Char('/') + file));
    candidates << programDir.filePath(file);
    // The build tree keeps it at its top; only programs inside that tree look there, so an
    // installed copy never picks up whatever a build left behind.
    const QString buildDir = QDir::cleanPath(QStringLiteral(VELDRIN_WEBVIEW_BUILD_DIR));
    const QString programPath = QDir::cleanPath(programDir.absolutePath());
    if (programPath == buildDir || programPath.startsWith(buildDir + QLatin1Char('/')))
        candidates << QDir(buildDir).filePath(file);
    return candidates;
}

QString &loadedFile()
{
    static QString file;
    return file;
}

WebPaneFactory *loadFactory()
{
    static bool tried = false;
    static WebPaneFactory *factory = nullptr;
    if (tried)
        return factory;
    tried = true;

    // The engine shares GL contexts with the program's windows; without that attribute set
    // before the application object was made it crashes on first use, so a program that did
    // not ask for it gets the plain pane.
    if (!QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts))
        return nullptr;

    allowRunningAsRoot();

    for (const QString &candidate : pluginCandidates()) {
        if (!QFileInfo(candidate).isFile())
            continue;
        // The loader stays alive (and the plugin loaded) for the rest of the run: panes
        // made from it may exist until the very end.
        auto *loader = new QPluginLoader(candidate, QCoreApplication::instance());
        if (auto *found = qobject_cast<WebPaneFactory *>(loader->instance())) {
            factory = found;
            loadedFile() = QFileInfo(candidate).absoluteFilePath();
            break;
        }
        delete loader;
    }
    return factory;
}

} // namespace

void prepareEngine()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    allowRunningAsRoot();
}

WebPane *create(QWidget *parent)
{
    if (WebPaneFactory *factory = loadFactory()) {
        if (WebPane *pane = factory->createPane(hosts::maker(), bundled::pageValues(), parent))
            return pane;
    }
    return new TextPane(hosts::maker(), parent);
}

bool engineAvailable() { return loadFactory() != nullptr; }

QString loadedPluginFile()
{
    loadFactory();
    return loadedFile();
}

} // namespace webpane
