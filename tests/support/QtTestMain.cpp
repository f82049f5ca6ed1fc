// GoogleTest entry point for every test binary: a QApplication exists for the whole run, so
// units that use Qt's event loop, timers, sockets or widgets work as in the program.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
