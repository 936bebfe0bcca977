#include <gtest/gtest.h>

#include <QCoreApplication>

// Engine tests need an event loop but no window.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
