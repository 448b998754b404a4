#include "ScratchHome.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

// Every run gets a home and a settings folder of its own, so no test ever
// reads or writes the user's settings.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // No splash in tests unless a test shows one itself.
    CScratchHome home(argc, argv);
    if (!home.IsValid())
        return 2;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(home.Argc(), home.Argv());
    home.KeepSettingsHere();
    return RUN_ALL_TESTS();
}
