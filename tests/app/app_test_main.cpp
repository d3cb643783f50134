#include "app/TApplication.h"
#include "support/IsolatedUserFolders.h"

#include <gtest/gtest.h>

#include <cstdlib>

// The window's tests run under the tutor's own application object, so an error that
// escapes an event handler reaches the standard error box exactly as in the program.
// (This main takes the place of the shared one for this binary.)
int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LEXORIN_AUDIO", "virtual", 0);
    const IsolatedUserFolders userFolders;
    app::TApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
