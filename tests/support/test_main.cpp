#include <gtest/gtest.h>
#include "support/IsolatedUserFolders.h"

#include <QApplication>

#include <cstdlib>

// Every test binary gets a QApplication, so widget and device tests can run
// the event loop. Offscreen by default: the suite needs no display.
int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LEXORIN_AUDIO", "virtual", 0);
    const IsolatedUserFolders userFolders;
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
