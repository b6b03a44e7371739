#include "install/HistoryRecovery.h"
#include "install/OpenRequest.h"
#include "setup/PrefixSetup.h"
#include "setup/SampleSetup.h"
#include "setup/SetupRecord.h"
#include "shell/Desk.h"
#include "shell/SingleInstance.h"
#include "shell/frmMDI.h"
#include "windows/Artwork.h"
#include "windows/WidgetPrompts.h"
#include "windows/web/WebPaneLoader.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <cstdio>

namespace {

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Veldrin manages the add-on files of Black & White: maps, landscapes, skins, creature tattoos "
        "and BRX packages."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("sample-setup"),
                      QStringLiteral("Create a small sample game and program folder tree (a Wine-style prefix) in "
                                     "<dir>, then exit. Files that exist already are left alone."),
                      QStringLiteral("dir")});
    parser.addOption({QStringLiteral("setup"),
                      QStringLiteral("Set Veldrin up in a Wine prefix: find the game, create C:\\Veldrin\\ with its backup "
                                     "folders, a first options file and a menu entry, and note that folder for starts from elsewhere. "
                                     "Existing files are kept; the menu entry follows the prefix set up last.")});
    parser.addOption({QStringLiteral("prefix"),
                      QStringLiteral("The Wine prefix for --setup (default: WINEPREFIX, else ~/.wine)."),
                      QStringLiteral("dir")});
    parser.addOption({QStringLiteral("check-web-plugin"),
                      QStringLiteral("Load the web view plugin, print the file it was loaded from and exit; "
                                     "exit status 1 when it cannot be loaded.")});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A package (.brx), map (.txt), landscape (.lnd), skin (.l3d) or "
                                                "tattoo (.bmp) to open in the installer."),
                                 QStringLiteral("[FILE...]"));
}

// Where a packager's install put the web view plugin, and whether it loads from there.
int checkWebPlugin()
{
    const QString file = webpane::loadedPluginFile();
    if (file.isEmpty()) {
        std::fprintf(stderr, "veldrin: the web view plugin could not be loaded\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(file));
    return 0;
}

// These never open a window, so they must work where no display is available.
bool consoleOnly(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg.startsWith("--sample-setup") || arg == "--setup" || arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-v"
            || arg == "--version" || arg == "-?")
            return true;
    }
    return false;
}

void setIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("Veldrin"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.90"));
}

int runPrefixSetup(const QCommandLineParser &parser)
{
    prefixsetup::Request request;
    request.prefix = parser.isSet(QStringLiteral("prefix")) ? parser.value(QStringLiteral("prefix")) : prefixsetup::defaultPrefix();
    request.program = QCoreApplication::applicationFilePath();
    request.dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    request.configHome = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const prefixsetup::Report report = prefixsetup::run(request);
    std::fputs(qPrintable(prefixsetup::describe(report)), report.ok() ? stdout : stderr);
    return report.ok() ? 0 : 1;
}

int runSampleSetup(const QString &dir)
{
    const QString root = QDir(dir).absolutePath();
    const sample::SetupResult result = sample::createSampleSetup(root);
    for (const QString &error : result.errors)
        std::fprintf(stderr, "veldrin: %s\n", qPrintable(error));
    std::printf("Sample setup in %s: %d files created, %d already there and left alone.\n", qPrintable(root),
                int(result.created.size()), int(result.kept.size()));
    std::printf("Start Veldrin on it with:\n  cd '%s/drive_c/Veldrin' && WINEPREFIX='%s' '%s'\n", qPrintable(root),
                qPrintable(root), qPrintable(QCoreApplication::applicationFilePath()));
    return result.ok() ? 0 : 1;
}

// The options file is read from the current folder; a start from the system menu or a file
// manager lands wherever the desktop likes, so go to the folder --setup made instead.
void goToSetUpFolder()
{
    const setuprecord::Record note = setuprecord::read(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    const setuprecord::Record place =
        setuprecord::startInstead(QDir::currentPath(), note, qEnvironmentVariable("WINEPREFIX"));
    if (!place.isValid())
        return;
    qputenv("WINEPREFIX", QFile::encodeName(place.prefix));
    QDir::setCurrent(place.programFolder);
}

// Asking whether the plugin loads needs no window; without a display the window system
// would abort the program before it is asked.
void windowSystemForCheck(int argc, char **argv)
{
#ifdef Q_OS_UNIX
    bool check = false;
    for (int i = 1; i < argc; ++i)
        check = check || QByteArray(argv[i]) == "--check-web-plugin";
    if (check && qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#else
    // Windows always has its window system.
    Q_UNUSED(argc);
    Q_UNUSED(argv);
#endif
}

// Runs work from the event loop once window has been exposed for the first time, after it has
// been drawn.
void afterFirstDrawn(QWidget *window, QObject *context, const std::function<void()> &work)
{
    QWindow *handle = window->windowHandle();
    if (!handle || handle->isExposed()) {
        QTimer::singleShot(0, context, work);
        return;
    }
    // The expose event draws the window as it is handled; work is queued behind that.
    class Watch : public QObject
    {
    public:
        Watch(QWindow *handle, QObject *context, std::function<void()> work)
            : QObject(handle), m_context(context), m_work(std::move(work))
        {
        }
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
                if (m_context)
                    QTimer::singleShot(0, m_context, m_work);
                watched->removeEventFilter(this);
                deleteLater();
            }
            return false;
        }

    private:
        QPointer<QObject> m_context;
        std::function<void()> m_work;
    };
    handle->installEventFilter(new Watch(handle, context, work));
}

} // namespace

int main(int argc, char **argv)
{
    if (consoleOnly(argc, argv)) {
        QCoreApplication app(argc, argv);
        setIdentity();
        QCommandLineParser parser;
        describe(parser);
        parser.process(app);
        if (parser.isSet(QStringLiteral("sample-setup")))
            return runSampleSetup(parser.value(QStringLiteral("sample-setup")));
        if (parser.isSet(QStringLiteral("setup")))
            return runPrefixSetup(parser);
        return 0;
    }

    // The web view is loaded later, as a plugin, but what it needs must be asked for now.
    webpane::prepareEngine();

    windowSystemForCheck(argc, argv);
    QApplication app(argc, argv);
    setIdentity();
    QCommandLineParser parser;
    describe(parser);
    parser.process(app);
    if (parser.isSet(QStringLiteral("check-web-plugin")))
        return checkWebPlugin();

    // Files go to the Veldrin already running on this program folder when there is one.
    QStringList files;
    for (const QString &argument : parser.positionalArguments())
        files << openrequest::hostPathOfArgument(argument, QDir::currentPath());
    goToSetUpFolder();
    const QString instanceName = singleinstance::serverName(QDir::currentPath());
    // Without files the running one is only asked to come forward: two full programs on one
    // program folder would each take the other's windows' work for their own.
    if (singleinstance::handOver(instanceName, files))
        return 0;
    singleinstance::Receiver receiver;
    receiver.listen(instanceName);
    // Drawn only by a start that opens windows: one that hands its files over never shows one.
    QApplication::setWindowIcon(artwork::programIcon());

    Modual1 state;
    WidgetPrompts prompts;
    Desk desk(state, prompts);
    // Files handed over during start-up wait until the main window is up.
    bool started = false;
    QObject::connect(&receiver, &singleinstance::Receiver::filesReceived, &desk, [&](const QStringList &handed) {
        if (handed.isEmpty()) {
            if (frmMDI *frame = desk.openMdi()) {
                frame->setWindowState(frame->windowState() & ~Qt::WindowMinimized);
                frame->show();
                frame->raise();
                frame->activateWindow();
            }
            return;
        }
        if (started)
            desk.openHostFiles(handed);
        else
            files << handed;
    });
    desk.startUp();
    started = true;
    frmMDI *frame = desk.openMdi();
    if (frame)
        QObject::connect(frame, &QObject::destroyed, &app, &QCoreApplication::quit);
    // An install killed last time is put back before anything else can write: every install,
    // undo and add-on change takes the history's lock, and taking it puts back what a kill
    // left. This check puts it back at once and tells the player; on a start without files it
    // waits for the frame to be drawn, as reading a long history takes longer than drawing the
    // frame. Files to install are only opened once it is done, as they always were.
    const auto recover = [&desk] {
        desk.tellRecovery(history::recoverUnfinished(desk.settings().ProgramFolder, desk.settings().GameFolder));
    };
    if (frame && files.isEmpty()) {
        afterFirstDrawn(frame, &desk, recover);
    } else {
        recover();
        if (!files.isEmpty())
            desk.openHostFiles(files);
    }

    if (qEnvironmentVariableIsSet("VELDRIN_BENCH_EXIT")) {
        QTimer::singleShot(0, &app, [] {
            std::puts("ready");
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    }
    return app.exec();
}
