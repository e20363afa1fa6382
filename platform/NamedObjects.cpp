#include "platform/NamedObjects.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

enum class TKind { Mutex, Event };

struct TSyncObject {
    explicit TSyncObject(TKind kind) : Kind(kind) {}
    const TKind Kind;
    std::mutex Lock;
    std::condition_variable Changed;
    // mutex
    std::thread::id Owner;
    unsigned Recursion = 0;
    // event
    bool ManualReset = false;
    bool Signalled = false;

    bool TryTake() // Lock held
    {
        if (Kind == TKind::Mutex) {
            if (Recursion == 0 || Owner == std::this_thread::get_id()) {
                Owner = std::this_thread::get_id();
                ++Recursion;
                return true;
            }
            return false;
        }
        if (!Signalled)
            return false;
        if (!ManualReset)
            Signalled = false;
        return true;
    }
};

struct TObjectTable {
    std::mutex Lock;
    std::map<HANDLE, std::shared_ptr<TSyncObject>> Handles;
    std::map<std::string, std::weak_ptr<TSyncObject>> Names;
    HANDLE Next = 1;

    HANDLE Add(std::shared_ptr<TSyncObject> object) // Lock held
    {
        const HANDLE handle = Next++;
        Handles.emplace(handle, std::move(object));
        return handle;
    }
    std::shared_ptr<TSyncObject> Find(HANDLE handle)
    {
        std::lock_guard guard(Lock);
        const auto it = Handles.find(handle);
        return it == Handles.end() ? nullptr : it->second;
    }
};

TObjectTable& Table()
{
    static TObjectTable table;
    return table;
}

HANDLE CreateNamed(TKind kind, const std::string& name, bool* alreadyExists,
                   const std::function<void(TSyncObject&)>& init)
{
    auto& table = Table();
    std::lock_guard guard(table.Lock);
    if (alreadyExists)
        *alreadyExists = false;
    if (!name.empty()) {
        const auto it = table.Names.find(name);
        if (it != table.Names.end()) {
            if (auto existing = it->second.lock()) {
                if (existing->Kind != kind)
                    return 0;
                if (alreadyExists)
                    *alreadyExists = true;
                return table.Add(std::move(existing));
            }
        }
    }
    auto object = std::make_shared<TSyncObject>(kind);
    init(*object);
    if (!name.empty())
        table.Names[name] = object;
    return table.Add(std::move(object));
}

HANDLE OpenNamed(TKind kind, const std::string& name)
{
    auto& table = Table();
    std::lock_guard guard(table.Lock);
    const auto it = table.Names.find(name);
    if (it == table.Names.end())
        return 0;
    auto existing = it->second.lock();
    if (!existing || existing->Kind != kind)
        return 0;
    return table.Add(std::move(existing));
}

std::shared_ptr<TSyncObject> FindKind(HANDLE handle, TKind kind)
{
    auto object = Table().Find(handle);
    return object && object->Kind == kind ? object : nullptr;
}

} // namespace

HANDLE CreateMutex(bool initialOwner, const std::string& name, bool* alreadyExists)
{
    return CreateNamed(TKind::Mutex, name, alreadyExists, [initialOwner](TSyncObject& m) {
        if (initialOwner) {
            m.Owner = std::this_thread::get_id();
            m.Recursion = 1;
        }
    });
}

HANDLE OpenMutex(const std::string& name)
{
    return OpenNamed(TKind::Mutex, name);
}

bool ReleaseMutex(HANDLE mutex)
{
    auto object = FindKind(mutex, TKind::Mutex);
    if (!object)
        return false;
    {
        std::lock_guard guard(object->Lock);
        if (object->Recursion == 0 || object->Owner != std::this_thread::get_id())
            return false;
        if (--object->Recursion > 0)
            return true;
        object->Owner = {};
    }
    object->Changed.notify_all();
    return true;
}

HANDLE CreateEvent(bool manualReset, bool initialState, const std::string& name, bool* alreadyExists)
{
    return CreateNamed(TKind::Event, name, alreadyExists, [manualReset, initialState](TSyncObject& e) {
        e.ManualReset = manualReset;
        e.Signalled = initialState;
    });
}

HANDLE OpenEvent(const std::string& name)
{
    return OpenNamed(TKind::Event, name);
}

bool SetEvent(HANDLE event)
{
    auto object = FindKind(event, TKind::Event);
    if (!object)
        return false;
    {
        std::lock_guard guard(object->Lock);
        object->Signalled = true;
    }
    object->Changed.notify_all();
    return true;
}

bool ResetEvent(HANDLE event)
{
    auto object = FindKind(event, TKind::Event);
    if (!object)
        return false;
    std::lock_guard guard(object->Lock);
    object->Signalled = false;
    return true;
}

std::uint32_t WaitForSingleObject(HANDLE handle, std::uint32_t timeoutMs)
{
    auto object = Table().Find(handle);
    if (!object)
        return WAIT_FAILED;
    std::unique_lock guard(object->Lock);
    if (timeoutMs == INFINITE) {
        object->Changed.wait(guard, [&] { return object->TryTake(); });
        return WAIT_OBJECT_0;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    return object->Changed.wait_until(guard, deadline, [&] { return object->TryTake(); }) ? WAIT_OBJECT_0
                                                                                          : WAIT_TIMEOUT;
}

bool CloseHandle(HANDLE handle)
{
    std::shared_ptr<TSyncObject> last;
    auto& table = Table();
    std::lock_guard guard(table.Lock);
    const auto it = table.Handles.find(handle);
    if (it == table.Handles.end())
        return false;
    last = std::move(it->second); // the object itself is freed after the table lock is dropped
    table.Handles.erase(it);
    return true;
}
