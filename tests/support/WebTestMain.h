#pragma once
// The start of every test that drives the real web engine: the same preparation as the program's.
#include "windows/web/WebPaneLoader.h"

#include <QApplication>
#include <QTest>

template <class Test>
int runWebTest(int argc, char **argv)
{
    webpane::prepareEngine();
    QApplication app(argc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}
