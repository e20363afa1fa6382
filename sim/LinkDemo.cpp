// Runs the serial link against the framing peer on a pseudo-terminal and
// prints the traffic on both ends: what the peer reads and writes, and what
// the link reports to the program.
//
//   tessaro-linkdemo [seconds]        (default 12; 0 runs until interrupted)
//   tessaro-linkdemo flood [seconds]  the peer floods the link; once a second
//                                     the messages received and how many
//                                     waited for the program
#include "link/Communication.h"
#include "link/Serial_Communication.h"
#include "sim/FramingPeer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

void Line(const char* who, const std::string& what)
{
    const std::string stamp = QDateTime::currentDateTime().toString("HH:mm:ss.zzz").toStdString();
    std::printf("%s  %-14s %s\n", stamp.c_str(), who, what.c_str());
    std::fflush(stdout);
}

// The peer sends numbered messages as fast as the link answers them.
int Flood(QCoreApplication& app, TFramingPeer& peer, int seconds)
{
    setenv("TESSARO_COM1", peer.SlavePath().c_str(), 1);
    Line("demo", "framing peer on " + peer.SlavePath() + " as COM1, flooding");
    TCommunication link;
    long received = 0, expected = 0, outOfOrder = 0;
    link.SetOnConnectionChange([&](TObject*, bool up) {
        Line("link", up ? "connected" : "disconnected");
        if (up)
            peer.StartFlood('F', 64);
    });
    link.SetOnReceive([&](TObject*, char, const std::string& data) {
        ++received;
        if (TFramingPeer::FloodNumber(data) != expected++)
            ++outOfOrder;
    });
    link.SetPortNumber(1);
    link.SetInterfaceType(TInterfaceType::itSerial);
    long last = 0;
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        const TReceiveBacklog* backlog = link.SerialLink() ? link.SerialLink()->ReceiveBacklog() : nullptr;
        Line("link", std::to_string(received - last) + " messages/s, " + std::to_string(received) + " in all, " +
                         std::to_string(outOfOrder) + " out of order, waiting at most " +
                         std::to_string(backlog ? backlog->Peak() : 0) + ", device asked to repeat " +
                         std::to_string(peer.Counters().NaksReceived) + " times");
        last = received;
    });
    report.start(1000);
    if (seconds > 0)
        QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    const int status = app.exec();
    peer.StopFlood();
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool flood = argc > 1 && std::string(argv[1]) == "flood";
    const int argument = flood ? 2 : 1;
    const int seconds = argc > argument ? std::atoi(argv[argument]) : 12;
    std::signal(SIGINT, [](int) { QCoreApplication::quit(); });

    TFramingPeer peer;
    if (flood)
        return Flood(app, peer, seconds);
    peer.SetTrafficSink([](char direction, const std::string& bytes) {
        Line(direction == 'R' ? "peer reads" : "peer writes", Hex(bytes));
    });
    // The peer answers every message with its command byte and the data reversed.
    peer.SetMessageSink([&peer](const TPeerMessage& m) {
        peer.Send(m.Cmd, std::string(m.Data.rbegin(), m.Data.rend()));
    });
    setenv("TESSARO_COM1", peer.SlavePath().c_str(), 1);
    Line("demo", "framing peer on " + peer.SlavePath() + " as COM1");

    TCommunication link;
    link.SetOnConnectionChange([](TObject*, bool up) { Line("link", up ? "connected" : "disconnected"); });
    link.SetOnReceive([](TObject*, char cmd, const std::string& data) {
        Line("link receives", std::string("cmd ") + cmd + " data \"" + data + "\"");
    });
    link.SetPortNumber(1);
    link.SetInterfaceType(TInterfaceType::itSerial);

    int count = 0;
    QTimer sender;
    QObject::connect(&sender, &QTimer::timeout, [&] {
        if (!link.Connected())
            return;
        const std::string text = "Ahello " + std::to_string(++count);
        Line("link sends", "\"" + text + "\"");
        link.SendText(nullptr, text, 0);
    });
    sender.start(1500);
    if (seconds > 0)
        QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    return app.exec();
}
