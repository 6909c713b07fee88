// The main function of the dialog tests: Qt's application object exists before any window and for the whole run.
// The windows are drawn offscreen unless the environment names another platform (to watch a test, say).
#include "window/Application.h"

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    CApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
