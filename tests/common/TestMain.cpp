// The main of every test program: offscreen Qt, dialogs answered by the
// recording service, beeps counted and silent, and the locale of the
// environment taken as the program takes it.
#include "platform/Beep.h"
#include "platform/Registry.h"
#include "tests/common/TestServices.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Each test has a settings folder of its own: what one test changed and did
// not write never reaches the next one's files (nor a folder already gone).
class TForgetSettings : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo&) override { TRegistry::Forget(); }
};

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testing::InitGoogleTest(&argc, argv);
    // Like the program, the application sets the C library's locale from
    // the environment. A locale the machine lacks would leave it at "C" and
    // the test would run in another locale than it names.
    QApplication app(argc, argv);
    const char* wanted = std::getenv("LC_ALL");
    const char* taken = std::setlocale(LC_ALL, nullptr);
    if (wanted && *wanted && std::strcmp(wanted, "C") != 0 && std::strcmp(wanted, "POSIX") != 0 && taken &&
        std::strcmp(taken, "C") == 0) {
        std::fprintf(stderr, "The locale %s is not installed (scripts/setup generates it).\n", wanted);
        return 1;
    }
    QCoreApplication::setApplicationName("Tessaro");
    SetDialogService(&TestDialogs());
    SetBeepSink([](unsigned) {});
    testing::UnitTest::GetInstance()->listeners().Append(new TForgetSettings);
    return RUN_ALL_TESTS();
}
