#pragma once
// The port thread in virtual time: writes are recorded, timers run on a clock
// that the test advances, and messages to the interface window are recorded
// (or posted to the window, for tests of the main-thread half; without a
// window a received message and a report of the link's state count as taken
// by the window thread at once).
#include "link/Serial_Communication.h"

#include <map>
#include <optional>
#include <vector>

class TVirtualComIo : public TComPortIo {
public:
    struct TPost {
        std::uint32_t Msg;
        std::uintptr_t WParam;
        std::optional<std::string> Block;
    };

    // window != 0: posts to the interface go to that window as well.
    explicit TVirtualComIo(HWND window = 0) : FWindow(window) {}

    void Start(TComControl& control) override
    {
        FControl = &control;
        if (!FWindow)
            control.LinkState().Take(); // the report the protocol made before it started
    }
    void Stop() override { FControl = nullptr; }
    void Write(const std::string& bytes) override { FWritten += bytes; Writes.push_back(bytes); }
    void StartTimer(int id, unsigned ms) override { FTimers[id] = {ms, FNow + ms}; }
    void StopTimer(int id) override { FTimers.erase(id); }
    bool PostThreadMessage(std::uint32_t msg, std::uintptr_t wParam, std::unique_ptr<std::string> block) override
    {
        ThreadMessages.push_back({msg, wParam, block ? std::optional<std::string>(*block) : std::nullopt});
        return true;
    }
    void PostToInterface(std::uint32_t msg, std::uintptr_t wParam, std::unique_ptr<std::string> block) override
    {
        Posts.push_back({msg, wParam, block ? std::optional<std::string>(*block) : std::nullopt});
        if (FWindow)
            TMessageWindow::PostMessage(FWindow, msg, wParam, 0, std::move(block));
        else if (FControl && msg == FControl->MsgComReceive())
            FControl->Backlog().Take(); // recorded is taken: no window thread falls behind
        else if (FControl && msg == FControl->MsgComVerbStatus())
            FControl->LinkState().Take();
    }

    // Moves the clock on, firing each timer at its due times in order.
    void Advance(unsigned ms)
    {
        const std::uint64_t end = FNow + ms;
        for (;;) {
            int next = -1;
            std::uint64_t due = end + 1;
            for (const auto& [id, timer] : FTimers)
                if (timer.Due < due) {
                    due = timer.Due;
                    next = id;
                }
            if (next < 0 || due > end)
                break;
            FNow = due;
            FTimers[next].Due += FTimers[next].Period;
            if (FControl)
                FControl->HandleTimer(next);
        }
        FNow = end;
    }

    // Hands the thread messages posted since the last call to the protocol,
    // as the port thread does.
    void DeliverThreadMessages()
    {
        for (; FDelivered < ThreadMessages.size(); ++FDelivered) {
            const TPost& post = ThreadMessages[FDelivered];
            TThreadMessage message;
            message.Msg = post.Msg;
            message.WParam = post.WParam;
            if (post.Block)
                message.Block = std::make_unique<std::string>(*post.Block);
            if (FControl)
                FControl->HandleThreadMessage(message);
        }
    }
    TComControl* Control() const { return FControl; }
    // Bytes from the device, as the port thread hands them on.
    void Receive(const std::string& bytes)
    {
        if (FControl)
            FControl->HandleBytes(bytes);
    }

    bool TimerRunning(int id) const { return FTimers.count(id) != 0; }
    std::uint64_t Now() const { return FNow; }

    // Everything written since the last call.
    std::string TakeWritten()
    {
        std::string out;
        out.swap(FWritten);
        Writes.clear();
        return out;
    }

    std::vector<TPost> Posts;
    std::vector<TPost> ThreadMessages;
    std::vector<std::string> Writes;

private:
    struct TTimer {
        unsigned Period;
        std::uint64_t Due;
    };
    HWND FWindow;
    TComControl* FControl = nullptr;
    std::map<int, TTimer> FTimers;
    std::uint64_t FNow = 0;
    std::string FWritten;
    std::size_t FDelivered = 0;
};
