// The main of the dialog tests on Windows: the application object first (common controls, COM), as in the program,
// then every test.

#include "window/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    CApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
