#pragma once
class QString;
class QWidget;
class WebPane;

namespace webpane {

// What the web engine needs before the application object is made: shared GL contexts, and no
// sandbox when running as root (the engine's sandbox refuses to start then). A program that does
// not call this gets the plain page area.
void prepareEngine();

// A page area for a window: the web engine's when its plugin can be loaded, otherwise a
// plain one that still shows the bundled pages. Never null.
WebPane *create(QWidget *parent);

// Whether create() gives the web engine's page area. Loads the plugin on first call.
bool engineAvailable();

// The file the web engine's plugin was loaded from; empty when it was not loaded.
QString loadedPluginFile();

} // namespace webpane
