#pragma once
// The real port thread: it opens the COM port, sleeps in poll() over the port,
// its message queue, its timers and its stop request, and hands what happens
// to the frame protocol. Every protocol operation, the timers included, runs
// in this one thread, so the protocol state needs no lock.
#include "link/Serial_Communication.h"
#include "platform/PollLoop.h"
#include "platform/SerialPort.h"

#include <chrono>
#include <thread>

class TComPortThread : public TComPortIo {
public:
    TComPortThread(HWND interfaceWindow, std::uint16_t portNumber);
    ~TComPortThread() override;

    void Start(TComControl& control) override;
    void Stop() override;
    void Write(const std::string& bytes) override;
    void StartTimer(int id, unsigned ms) override { FLoop.StartTimer(id, ms); }
    void StopTimer(int id) override { FLoop.StopTimer(id); }
    bool PostThreadMessage(std::uint32_t msg, std::uintptr_t wParam, std::unique_ptr<std::string> block) override;
    void PostToInterface(std::uint32_t msg, std::uintptr_t wParam, std::unique_ptr<std::string> block) override;

private:
    void Execute();
    bool OpenPort();
    void ReopenPort();
    void ReadPort();
    void PortLost(const std::string& step, int error);
    bool FlushPending(int timeoutMs);
    // Runs one step; what it raises is shown, and false returned.
    template <typename F>
    bool Guarded(F&& step) noexcept;
    void ReportThreadError(const std::string& text) noexcept;

    static constexpr std::chrono::milliseconds kReopenPeriod{1000};

    HWND FWindow;
    std::uint16_t FPortNumber;
    std::string FNode;
    TComControl* FControl = nullptr;
    TPollLoop FLoop;
    TSerialPort FPort;
    bool FPortLost = false;
    std::chrono::steady_clock::time_point FReopenAt; // the next try while the port is lost
    std::string FPending; // bytes of the one write that the driver has not taken yet
    std::thread FThread;
};
