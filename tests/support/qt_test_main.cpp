// The main() of the test binaries that need a Qt application object: widget
// tests, and tests whose objects read events on the application's thread (the
// capture graph's bus, D-Bus).
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
