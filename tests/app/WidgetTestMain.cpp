#include <QApplication>

#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Also when ctest lists the tests at build time: there is no display then.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    QApplication::setApplicationName("Kopirko");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
