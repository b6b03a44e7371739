#pragma once
// The start of every test that drives the real web engine: the engine wants shared GL contexts
// before the application object exists, and cannot sandbox itself when the tests run as root.
#include "support/EnvGuard.h"

#include <QApplication>
#include <QTest>
#ifndef Q_OS_WIN
#include <unistd.h>
#endif

template <class Test>
int runWebTest(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    EnvGuard env;
#ifndef Q_OS_WIN
    if (geteuid() == 0)
        env.set("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
    QApplication app(argc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}
