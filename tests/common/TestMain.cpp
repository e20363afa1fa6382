// The main of every test program: offscreen Qt, dialogs answered by the
// recording service, beeps counted and silent.
#include "platform/Beep.h"
#include "tests/common/TestServices.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("Tessaro");
    SetDialogService(&TestDialogs());
    SetBeepSink([](unsigned) {});
    return RUN_ALL_TESTS();
}
