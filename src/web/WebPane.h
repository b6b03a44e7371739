#pragma once
// The page area of the browser and update windows. The full web engine is heavy to load,
// so it lives in a plugin that is loaded when the first page area is made; the windows
// only ever see this interface.
#include <QMap>
#include <QUrl>
#include <QWidget>
#include <QtPlugin>

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

#define VeldrinWebPaneFactory_iid "org.veldrin.WebPaneFactory/1.1"
Q_DECLARE_INTERFACE(WebPaneFactory, VeldrinWebPaneFactory_iid)
