#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Also when ctest lists the tests at build time: there is no display then.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationName("Kopirko");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
