#include "platform/os/Sync.h"

#include "platform/base/Clock.h"
#include "platform/base/Error.h"

#include <condition_variable>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

// One blocked wait. The objects are held so that closing a handle during the
// wait does not destroy what is waited on.
struct Waiter {
    std::vector<std::shared_ptr<KernelObject>> objects;
    bool waitAll = false;
    bool done = false;
    DWORD result = WAIT_TIMEOUT;
};

// Every signal state and the list of blocked waiters, under one lock. A state
// change grants the waits it satisfies in the order they began, consuming
// the objects as it goes, so an auto-reset event releases exactly one waiter
// per set. Never destroyed: detached threads may still signal while the
// process exits.
struct Signals {
    std::mutex lock;
    std::condition_variable_any changed;
    std::list<Waiter*> waiters;
};

Signals& GetSignals()
{
    static Signals* signals = new Signals;
    return *signals;
}

// Grants the wait when its objects satisfy it now. Signal lock held.
bool TryGrant(Waiter& waiter)
{
    if (waiter.waitAll) {
        for (const auto& object : waiter.objects) {
            if (!object->IsSignaled())
                return false;
        }
        for (const auto& object : waiter.objects)
            object->Consume();
        waiter.result = WAIT_OBJECT_0;
    } else {
        std::size_t i = 0;
        while (i < waiter.objects.size() && !waiter.objects[i]->IsSignaled())
            ++i;
        if (i == waiter.objects.size())
            return false;
        waiter.objects[i]->Consume();
        waiter.result = WAIT_OBJECT_0 + static_cast<DWORD>(i);
    }
    waiter.done = true;
    return true;
}

// Grants every blocked wait that the current states satisfy. Signal lock
// held.
void Dispatch(Signals& signals)
{
    bool granted = false;
    for (auto it = signals.waiters.begin(); it != signals.waiters.end();) {
        if (TryGrant(**it)) {
            it = signals.waiters.erase(it);
            granted = true;
        } else {
            ++it;
        }
    }
    if (granted)
        signals.changed.notify_all();
}

DWORD Wait(std::vector<std::shared_ptr<KernelObject>> objects, bool waitAll, DWORD timeoutMs)
{
    // Declared before the lock so that the objects are released after it:
    // an object's destructor may take other locks.
    Waiter waiter;
    waiter.objects = std::move(objects);
    waiter.waitAll = waitAll;
    std::uint64_t deadline = DeadlineAfter(timeoutMs);

    Signals& signals = GetSignals();
    std::unique_lock<std::mutex> lock(signals.lock);
    if (TryGrant(waiter))
        return waiter.result;
    if (timeoutMs == 0)
        return WAIT_TIMEOUT;
    signals.waiters.push_back(&waiter);
    if (!WaitUntilMs(signals.changed, lock, deadline, [&] { return waiter.done; }))
        signals.waiters.remove(&waiter);
    return waiter.result;
}

class Event final : public KernelObject {
public:
    Event(bool manualReset, bool signaled, std::u16string name)
        : m_manualReset(manualReset), m_signaled(signaled), m_name(std::move(name))
    {
    }
    ~Event() override;

    bool IsSignaled() override { return m_signaled; }
    void Consume() override
    {
        if (!m_manualReset)
            m_signaled = false;
    }

    bool m_manualReset;
    bool m_signaled; // guarded by the signal lock
    std::u16string m_name;
};

// Named events of the process, by name. An entry lives while its event does.
struct EventNames {
    std::mutex lock;
    std::unordered_map<std::u16string, std::weak_ptr<Event>> events;
};

EventNames& GetEventNames()
{
    static EventNames* names = new EventNames;
    return *names;
}

Event::~Event()
{
    if (m_name.empty())
        return;
    EventNames& names = GetEventNames();
    std::lock_guard<std::mutex> guard(names.lock);
    auto it = names.events.find(m_name);
    // A new event of the same name may already have taken the entry.
    if (it != names.events.end() && it->second.expired())
        names.events.erase(it);
}

bool ModifyEvent(Event& event, DWORD function)
{
    Signals& signals = GetSignals();
    std::lock_guard<std::mutex> guard(signals.lock);
    switch (function) {
    case EVENT_SET:
        event.m_signaled = true;
        Dispatch(signals);
        return true;
    case EVENT_RESET:
        event.m_signaled = false;
        return true;
    case EVENT_PULSE:
        event.m_signaled = true;
        Dispatch(signals);
        event.m_signaled = false;
        return true;
    default:
        return false;
    }
}

} // namespace

void UpdateSignalState(const std::function<void()>& change)
{
    Signals& signals = GetSignals();
    std::lock_guard<std::mutex> guard(signals.lock);
    change();
    Dispatch(signals);
}

std::size_t BlockedWaiterCount()
{
    Signals& signals = GetSignals();
    std::lock_guard<std::mutex> guard(signals.lock);
    return signals.waiters.size();
}

} // namespace platform

HANDLE CreateEventW(LPVOID, BOOL manualReset, BOOL initialState, LPCWSTR name)
{
    using namespace platform;
    std::shared_ptr<Event> event;
    bool existed = false;
    if (name && *name) {
        EventNames& names = GetEventNames();
        std::lock_guard<std::mutex> guard(names.lock);
        std::weak_ptr<Event>& entry = names.events[name];
        event = entry.lock();
        existed = event != nullptr;
        if (!existed) {
            event = std::make_shared<Event>(manualReset != FALSE, initialState != FALSE, name);
            entry = event;
        }
    } else {
        event = std::make_shared<Event>(manualReset != FALSE, initialState != FALSE, std::u16string());
    }
    // Outside the name lock: if this fails, the new event dies here and its
    // destructor takes the name lock.
    HANDLE handle = RegisterObject(event);
    if (handle)
        SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

HANDLE OpenEventW(DWORD, BOOL, LPCWSTR name)
{
    using namespace platform;
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::shared_ptr<Event> event;
    {
        EventNames& names = GetEventNames();
        std::lock_guard<std::mutex> guard(names.lock);
        auto it = names.events.find(name);
        if (it != names.events.end())
            event = it->second.lock();
    }
    if (!event) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return RegisterObject(event);
}

BOOL EventModify(HANDLE handle, DWORD function)
{
    using namespace platform;
    std::shared_ptr<Event> event = LookupObjectAs<Event>(handle);
    if (!event)
        return FALSE;
    if (!ModifyEvent(*event, function)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

BOOL SetEvent(HANDLE event)
{
    return EventModify(event, EVENT_SET);
}

BOOL ResetEvent(HANDLE event)
{
    return EventModify(event, EVENT_RESET);
}

BOOL PulseEvent(HANDLE event)
{
    return EventModify(event, EVENT_PULSE);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs)
{
    std::shared_ptr<platform::KernelObject> object = platform::LookupObject(handle);
    if (!object)
        return WAIT_FAILED;
    std::vector<std::shared_ptr<platform::KernelObject>> objects;
    objects.push_back(std::move(object));
    return platform::Wait(std::move(objects), false, timeoutMs);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs)
{
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<platform::KernelObject>> objects;
    objects.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        std::shared_ptr<platform::KernelObject> object = platform::LookupObject(handles[i]);
        if (!object)
            return WAIT_FAILED;
        if (waitAll) {
            for (const auto& earlier : objects) {
                if (earlier == object) {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return WAIT_FAILED;
                }
            }
        }
        objects.push_back(std::move(object));
    }
    return platform::Wait(std::move(objects), waitAll != FALSE, timeoutMs);
}

// The lock is ready when the structure is constructed; these mark the
// lifecycle the callers follow and need no work of their own.
void InitializeCriticalSection(LPCRITICAL_SECTION) {}

void DeleteCriticalSection(LPCRITICAL_SECTION) {}

void EnterCriticalSection(LPCRITICAL_SECTION section)
{
    section->mutex.lock();
}

void LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    section->mutex.unlock();
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section)
{
    return section->mutex.try_lock() ? TRUE : FALSE;
}

LONG InterlockedIncrement(volatile LONG* target)
{
    return __atomic_add_fetch(target, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedDecrement(volatile LONG* target)
{
    return __atomic_sub_fetch(target, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedExchange(volatile LONG* target, LONG value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand)
{
    __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}
