// The floor for start-up: a main window with an MDI area and one child, nothing else.
#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    auto *area = new QMdiArea(&window);
    window.setCentralWidget(area);
    area->addSubWindow(new QPlainTextEdit)->show();
    window.show();
    if (qEnvironmentVariableIsSet("VELDRIN_BENCH_EXIT")) {
        QTimer::singleShot(0, &app, [] {
            std::puts("ready");
            std::fflush(stdout);
            QApplication::quit();
        });
    }
    return app.exec();
}
