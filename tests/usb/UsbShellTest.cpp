// The program on the scripted USB bus: a device pulled before its interface
// was given back (the release fails) while the program lets go of the link —
// on a change of interface, or when it ends. The program goes on or ends
// cleanly, and the error is recorded where a person can find it.
#include "controls/Zor_StandardControls.h"
#include "link/Communication.h"
#include "link/Serial_Communication.h"
#include "link/USB_Communication.h"
#include "platform/Exception.h"
#include "shell/ComportOptions.h"
#include "shell/DataModule.h"
#include "shell/DebugClass.h"
#include "shell/Environment.h"
#include "shell/MainForm.h"
#include "tests/common/TestServices.h"
#include "tests/link/VirtualComIo.h"
#include "tests/shell/ShellFixture.h"
#include "tests/usb/ErrorOf.h"
#include "tests/usb/FakeUsb.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSettings>

#include <cstdio>

namespace {

// What a driver says when the device is gone (-19) and what others say.
const int kReleaseResults[] = {-19, -5, -22};

class UsbShellTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        FakeUsb::Reset();
        TestDialogs().Clear();
        TDM::PluginLoadPause = [](int) {};
        TMyComInterface::SetIoFactory([](HWND window, std::uint16_t) {
            return std::make_unique<TVirtualComIo>(window);
        });
        // COM3 is in the port choice; the port thread is a virtual one.
        setenv("TESSARO_COM3", "/dev/null", 1);
        WriteFile(ProgramDir() + "ZorDevices.xml",
                  R"(<?xml version="1.0"?><ZORDEVICES><DEVICE name="Ruvo" productid="4"/></ZORDEVICES>)");
    }
    void TearDown() override
    {
        Form.reset();
        Dm.reset();
        TMyComInterface::SetIoFactory({});
        unsetenv("TESSARO_COM3");
        EXPECT_EQ(FakeUsb::OpenHandles(), 0);
        EXPECT_EQ(FakeUsb::Violations(), 0);
        TestDialogs().Clear();
        ShellFixture::TearDown();
    }

    // The program up and connected to the device, whose release then fails.
    // Without a main window, the data module is given the link the window
    // would have made.
    void StartConnected(int release, bool withMainWindow = true)
    {
        FakeUsb::Reset();
        std::remove(StatusLogPath().c_str());
        QSettings(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat)
            .setValue("Tessaro/ComPort", 255);
        const int device = FakeUsb::AddDevice(ZorvatekVendorID, 4, FakeUsb::StandardEndpoints());
        Dm = std::make_unique<TDM>(QStringList{"Tessaro", "Ruvo"});
        if (withMainWindow) {
            Form = std::make_unique<TfMainForm>();
            Form->FormShow();
        } else {
            auto link = std::make_unique<TCommunication>();
            link->SetVendorID(ZorvatekVendorID);
            link->SetProductID(4);
            link->SetInterfaceType(TInterfaceType::itUSB);
            Dm->SetComControl(std::move(link));
        }
        ASSERT_NE(Dm->ComControl(), nullptr);
        ASSERT_TRUE(Dm->ComControl()->Connected());
        FakeUsb::SetPlugged(device, false);
        FakeUsb::ScriptResult(device, FakeUsb::TCall::ReleaseInterface, release);
    }
    // Chooses the port in the port dialog, as a person does: in the port
    // list, where the focus starts, up to the first entry and down to the
    // one of the port with the arrow keys, then Enter.
    void ChoosePort(int port)
    {
        TestDialogs().SetModalHandler([port](QDialog& dialog) {
            auto& ports = dynamic_cast<TfComportOptions&>(dialog);
            const QString entry = port == 0     ? QString("Keine Schnittstelle")
                                  : port == 255 ? QString("USB")
                                                : QString("COM%1 (").arg(port);
            // Nothing else runs meanwhile: the link meets the pulled device
            // only when the program lets go of it.
            dialog.show();
            // A key as the application hands it to the port list, where the
            // focus starts (and on to the dialog when the list leaves it).
            const auto key = [&ports](Qt::Key k, const QString& text) {
                QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
                QApplication::sendEvent(ports.ePort, &press);
                QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier, text);
                QApplication::sendEvent(ports.ePort, &release);
            };
            for (int i = 0; i < ports.ePort->count(); ++i)
                key(Qt::Key_Up, "");
            for (int i = 0; i < ports.ePort->count() && !ports.ePort->currentText().startsWith(entry); ++i)
                key(Qt::Key_Down, "");
            EXPECT_TRUE(ports.ePort->currentText().startsWith(entry)) << ports.ePort->currentText().toStdString();
            key(Qt::Key_Return, "\r");
            EXPECT_EQ(dialog.result(), int(QDialog::Accepted)); // it closes once the key is handled
            return dialog.result();
        });
    }
    bool Recorded(const std::string& error) const
    {
        for (const auto& entry : Dm->Environment()->Debugger()->History())
            if (entry->Action == "TCommunication.Destroy" && entry->Description == error)
                return true;
        return false;
    }
    std::string Panel(int i) const { return Form->StatusPanels[i]->text().toStdString(); }
    std::string StatusLogPath() const { return ProgramDir() + TDebugClass::ReportFileName; }
    std::string StatusLog() const { return ReadFile(StatusLogPath()); }

    std::unique_ptr<TDM> Dm;
    std::unique_ptr<TfMainForm> Form;
};

std::string ReleaseError(int release)
{
    return "Error (" + std::to_string(release) + ") releasing usb-interface";
}

} // namespace

TEST_F(UsbShellTest, SwitchingToASerialPortRecordsTheErrorAndOpensThePort)
{
    for (const int release : kReleaseResults) {
        SCOPED_TRACE(release);
        StartConnected(release);
        ChoosePort(3);
        Dm->acOptionenSchnittstelle->trigger();
        QCoreApplication::processEvents();
        ASSERT_NE(Dm->ComControl(), nullptr);
        EXPECT_EQ(Dm->ComControl()->InterfaceType(), TInterfaceType::itSerial);
        EXPECT_EQ(Dm->ComControl()->PortNumber(), 3);
        EXPECT_FALSE(Dm->ComControl()->Connected());
        EXPECT_EQ(FakeUsb::OpenHandles(), 0);
        EXPECT_EQ(Panel(1), "COM 3");
        EXPECT_EQ(Panel(2), "Warte auf Verbindung!");
        EXPECT_TRUE(Recorded(ReleaseError(release)));
        EXPECT_TRUE(TestDialogs().Boxes().empty()); // recorded, not shown
        Form.reset();
        Dm.reset();
        EXPECT_EQ(StatusLog(), ""); // nothing went wrong at the end
    }
}

TEST_F(UsbShellTest, ChoosingNoInterfaceRaisesTheErrorAndTheStatusBarTellsTheChoice)
{
    StartConnected(-19);
    ChoosePort(0);
    // It reaches the GUI loop, which shows it.
    EXPECT_EQ(ErrorOf([&] { Form->ShowInterfaceOptions(); }), ReleaseError(-19));
    EXPECT_EQ(Panel(1), "Keine Schnittstelle");
    EXPECT_EQ(Panel(2), "");
    ASSERT_NE(Dm->ComControl(), nullptr);
    EXPECT_EQ(Dm->ComControl()->USBLink(), nullptr);
    EXPECT_FALSE(Dm->ComControl()->Connected());
    EXPECT_EQ(FakeUsb::OpenHandles(), 0);
}

// Closing the program: the main window frees the link; without a main window
// the data module does. The history ends with the program, so the error is
// written to "STATUS.LOG" with it.
TEST_F(UsbShellTest, EndingTheProgramWritesTheErrorToTheStatusLog)
{
    struct TCase {
        const char* What;
        bool ThroughMainWindow;
    };
    for (const TCase& c : {TCase{"main window, then data module", true}, TCase{"data module alone", false}}) {
        for (const int release : kReleaseResults) {
            SCOPED_TRACE(std::string(c.What) + ", release " + std::to_string(release));
            StartConnected(release, c.ThroughMainWindow);
            Form.reset();
            Dm.reset();
            EXPECT_EQ(FakeUsb::OpenHandles(), 0);
            const std::string log = StatusLog();
            const std::string error = ReleaseError(release);
            EXPECT_NE(log.find("\"TCommunication.Destroy\" : " + error + "\r\n"), std::string::npos) << log;
            const auto message = log.find("-------- Fehlermeldung -------------------------------\r\n[");
            ASSERT_NE(message, std::string::npos) << log;
            EXPECT_NE(log.find("] " + error + "\r\n", message), std::string::npos) << log;
            EXPECT_TRUE(TestDialogs().Boxes().empty());
        }
    }
}
