#pragma once

#include "core/VoxApplication.h"

#include <QTest>

// Like QTEST_MAIN, but with the console's application object, so that an
// exception raised by a handler reaches the exception report as it does in
// the running console.
#define VOX_TEST_MAIN(TestObject)                                                   \
    int main(int argc, char *argv[])                                                \
    {                                                                               \
        VoxApplication app(argc, argv);                                             \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                    \
        TestObject tc;                                                              \
        QTEST_SET_MAIN_SOURCE_PATH                                                  \
        return QTest::qExec(&tc, argc, argv);                                       \
    }
