#pragma once

#include <QTest>

// Like QTEST_MAIN, but with the console's application object when the test
// links the widgets, so that an exception raised by a handler reaches the
// exception report as it does in the running console. Tests of the
// libraries below the widgets run on a plain Qt application.
#if defined(QT_WIDGETS_LIB)
#include "widgets/VoxApplication.h"
using VoxTestApplication = VoxApplication;
#elif defined(QT_GUI_LIB)
#include <QGuiApplication>
using VoxTestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using VoxTestApplication = QCoreApplication;
#endif

#define VOX_TEST_MAIN(TestObject)                                                   \
    int main(int argc, char *argv[])                                                \
    {                                                                               \
        VoxTestApplication app(argc, argv);                                         \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                    \
        TestObject tc;                                                              \
        QTEST_SET_MAIN_SOURCE_PATH                                                  \
        return QTest::qExec(&tc, argc, argv);                                       \
    }
