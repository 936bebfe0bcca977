#include <QCoreApplication>

#include <gtest/gtest.h>

// Tests of code that needs an event loop (timers, socket and port
// notifications) but no window.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
