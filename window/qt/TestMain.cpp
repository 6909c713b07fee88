// The main function of the dialog tests: Qt's application object exists before any window and for the whole run.
#include "window/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    CApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
