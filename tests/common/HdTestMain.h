#pragma once

#include "App.h"
#include "EventLoop.h"
#include "VideoPlayer.h"

#include <QList>
#include <QTest>

// Quit requests recorded instead of ending the test run.
struct QuitRecorder
{
    static QList<int> &codes()
    {
        static QList<int> list;
        return list;
    }
};

// Like QTEST_MAIN, but with the application object and a recording quit handler.
#define HD_TEST_MAIN(TestClass) \
    int main(int argc, char **argv) \
    { \
        App app(argc, argv); \
        hd::setQuitHandler([](int code) { QuitRecorder::codes().append(code); }); \
        hd::setPlayerSearchPath(QStringList()); \
        TestClass tc; \
        QTEST_SET_MAIN_SOURCE_PATH \
        return QTest::qExec(&tc, argc, argv); \
    }
