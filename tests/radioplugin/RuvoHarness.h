#pragma once
// The plug-in core wired as the dialog will wire it, talking through a real
// serial link over a pseudo-terminal to the simulated radio module: the
// transport on the steady clock with its QTimer driver, the reply parser
// fed from the link's receive event, the connection changes handed on, and
// the communication mutex created owned by the GUI thread, as the host does.
// Used by the end-to-end tests and the benchmark; needs a Qt application.
#include "link/Communication.h"
#include "platform/MessageWindow.h"
#include "platform/NamedObjects.h"
#include "radioplugin/RuvoParameter.h"
#include "radioplugin/RuvoReplyParser.h"
#include "radioplugin/RuvoTimerDriver.h"
#include "radioplugin/RuvoTransport.h"
#include "radioplugin/RuvoView.h"
#include "sim/FramingPeer.h"
#include "sim/RadioModule.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The host's link object as the plug-in sees it.
class TCommunicationLink : public TRuvoLink {
public:
    explicit TCommunicationLink(TCommunication& Link) : FLink(Link) {}
    bool Connected() const override { return FLink.Connected(); }
    bool SendText(TObject* Sender, const std::string& Text, int Transfer) override
    {
        return FLink.SendText(Sender, Text, Transfer);
    }

private:
    TCommunication& FLink;
};

class THarnessView : public TRuvoView {
public:
    void ShowWarning(const std::string& text) override { Warnings.push_back(text); }
    void SlotReported(const TChannelEntry&) override { ++SlotsReported; }
    void MonitorLine(TRuvoMonitor monitor, const std::string& line) override { Lines.push_back({monitor, line}); }
    void ProgressStep() override { ++Steps; }
    void ProgressHide() override { ++Hides; }
    void ProcessMessages() override { QCoreApplication::processEvents(); }

    std::vector<std::string> Warnings;
    std::vector<std::pair<TRuvoMonitor, std::string>> Lines;
    int SlotsReported = 0, Steps = 0, Hides = 0;
};

class TRuvoHarness {
public:
    explicit TRuvoHarness(std::uint16_t port)
        : FPort(port), Module(Peer), Mutex(CreateMutex(true, MutexName())), Radio(Link),
          Transport(&Radio, MutexName(), View), Parser(Set, Transport, View),
          Driver(Transport, [this] {
              try {
                  Transport.Poll();
              } catch (const std::exception& e) {
                  Errors.push_back(e.what());
              }
          })
    {
        SetApplicationExceptionHandler([this](const std::exception& e) { Errors.push_back(e.what()); });
        setenv(EnvName().c_str(), Peer.PortPath().c_str(), 1);
        Link.SetOnReceive([this](TObject*, char cmd, const std::string& data) {
            try {
                Parser.HandleReply(std::string(1, cmd) + data);
            } catch (const std::exception& e) {
                Errors.push_back(e.what());
            }
        });
        Link.SetOnConnectionChange([this](TObject*, bool up) {
            try {
                Transport.ConnectionChanged(up);
            } catch (const std::exception& e) {
                Errors.push_back(e.what());
            }
        });
        Link.SetPortNumber(port);
        Link.SetInterfaceType(TInterfaceType::itSerial);
    }
    ~TRuvoHarness()
    {
        Link.SetOnReceive({});
        Link.SetOnConnectionChange({});
        Link.SetInterfaceType(TInterfaceType::itNone);
        unsetenv(EnvName().c_str());
        SetApplicationExceptionHandler({});
        CloseHandle(Mutex);
    }

    // Runs the GUI event loop until `done` holds or `ms` passed.
    static bool RunUntil(const std::function<bool()>& done, int ms)
    {
        QElapsedTimer clock;
        clock.start();
        // A heartbeat, so the wait for events ends now and then even when
        // nothing happens.
        QTimer heartbeat;
        heartbeat.start(10);
        while (!done()) {
            if (clock.elapsed() > ms)
                return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }
    // Both queues idle: nothing queued, nothing in flight.
    bool Idle() const
    {
        return !Transport.DeviceSendTimer().Enabled() && !Transport.RadioSendTimer().Enabled() &&
               Transport.DeviceQueue().empty() && Transport.RadioQueue().empty() &&
               WaitForSingleObject(Transport.DeviceReply(), 0) == WAIT_OBJECT_0 &&
               WaitForSingleObject(Transport.RadioReply(), 0) == WAIT_OBJECT_0;
    }
    // Up, the memory slots polled, and both queues at rest.
    bool WaitReady(int ms = 8000)
    {
        return RunUntil([&] { return Link.Connected() && Transport.SlotTelegramSeen() && Idle(); }, ms);
    }

    std::string MutexName() const { return "Global\\{ruvo-e2e-" + std::to_string(FPort) + "}"; }
    std::string EnvName() const { return "TESSARO_COM" + std::to_string(FPort); }

    std::uint16_t FPort;
    TFramingPeer Peer;
    TRadioModule Module;
    HANDLE Mutex;
    TCommunication Link;
    TCommunicationLink Radio;
    THarnessView View;
    TRuvoParameter Set;
    TRuvoTransport Transport;
    TRuvoReplyParser Parser;
    TRuvoTimerDriver Driver;
    std::vector<std::string> Errors;
};
