#pragma once
// The page area of the browser and update windows. The full web engine is heavy to load,
// so it lives in a plugin that is loaded when the first page area is made; the windows
// only ever see this interface.
#include <QMap>
#include <QUrl>
#include <QWidget>
#include <QtPlugin>

// What a page area tells its window about the files links lead to. The window decides where
// each one is written; the page area only fetches it there.
class DownloadWatcher
{
public:
    enum class End { Completed, Cancelled, Failed };
    virtual ~DownloadWatcher() = default;
    // A link led to a file: the host path to write it to, or empty to refuse it.
    virtual QString downloadAsked(int id, const QString &suggestedName) = 0;
    // total is negative while the size is unknown.
    virtual void downloadProgress(int id, qint64 received, qint64 total) = 0;
    // Once per download; reason says why a failed one failed.
    virtual void downloadEnded(int id, End end, const QString &reason) = 0;
};

class WebPane : public QWidget
{
public:
    using QWidget::QWidget;
    ~WebPane() override = default;

    virtual void go(const QUrl &address) = 0;
    virtual void back() = 0;
    virtual void forward() = 0;
    virtual void stop() = 0;
    virtual void reload() = 0;
    virtual bool canGoBack() const = 0;
    virtual bool canGoForward() const = 0;

    // What is on show now: the page's address (after any redirect) and its title.
    virtual QUrl url() const = 0;
    virtual QString title() const = 0;

    // Files that links lead to. A page area that cannot fetch them keeps these as they are.
    virtual void setDownloadWatcher(DownloadWatcher *watcher) { Q_UNUSED(watcher) }
    virtual void cancelDownload(int id) { Q_UNUSED(id) }
};

// What the plugin's root object offers.
class WebPaneFactory
{
public:
    virtual ~WebPaneFactory() = default;
    // Pages on makerHost are served from the bundled copy instead of the network, with
    // values filled in where they say {{NAME}}.
    virtual WebPane *createPane(const QString &makerHost, const QMap<QString, QString> &pageValues,
                                QWidget *parent) = 0;
};

#define VeldrinWebPaneFactory_iid "org.veldrin.WebPaneFactory/1.2"
Q_DECLARE_INTERFACE(WebPaneFactory, VeldrinWebPaneFactory_iid)
