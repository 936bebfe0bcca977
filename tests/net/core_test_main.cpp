#include <QCoreApplication>

#include <gtest/gtest.h>

// The socket layer needs an event loop for its notifications, and no window.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
