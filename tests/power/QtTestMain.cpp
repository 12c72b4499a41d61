#include <QApplication>

#include <cstdlib>
#include <gtest/gtest.h>

// The window's part of the network shutdown needs an application object; there is no display in CI.
int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    QApplication::setApplicationName("Kopirko");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
