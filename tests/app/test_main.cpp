#include "app/application.h"

#include <gtest/gtest.h>

// GUI tests share one application object, the program's own, so that the
// event loop's exception reporting is part of what they exercise.
// They never need a display: the offscreen platform is the default here, also
// when the test list is read at build time.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
