#include "installer/InstallHistory.h"
#include "platform/WidgetPrompts.h"
#include "shell/Desk.h"
#include "shell/Artwork.h"
#include "shell/SampleSetup.h"
#include "shell/frmMDI.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

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
}

// These never open a window, so they must work where no display is available.
bool consoleOnly(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg.startsWith("--sample-setup") || arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-v"
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
        return 0;
    }

    // The web view is loaded later, as a plugin; it can only share the GL context if asked now.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#ifdef Q_OS_UNIX
    // Chromium's sandbox refuses to run as root; containers and live systems often are root.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif

    QApplication app(argc, argv);
    setIdentity();
    QApplication::setWindowIcon(artwork::programIcon());
    QCommandLineParser parser;
    describe(parser);
    parser.process(app);

    Modual1 state;
    WidgetPrompts prompts;
    Desk desk(state, prompts);
    desk.startUp();
    // An install killed last time is put back before anything else can write.
    if (const QString told = history::recoverUnfinished(desk.settings().ProgramFolder); !told.isEmpty())
        prompts.message(told);
    if (frmMDI *frame = desk.openMdi())
        QObject::connect(frame, &QObject::destroyed, &app, &QCoreApplication::quit);

    if (qEnvironmentVariableIsSet("VELDRIN_BENCH_EXIT")) {
        QTimer::singleShot(0, &app, [] {
            std::puts("ready");
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    }
    return app.exec();
}
