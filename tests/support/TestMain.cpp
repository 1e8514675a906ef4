// Test main shared by every test binary: an isolated environment first, then a Qt
// application (offscreen unless the caller chose a platform), then the tests.
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv)
{
    testsupport::isolateEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
