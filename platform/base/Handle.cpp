#include "platform/base/Handle.h"

#include "platform/os/Thread.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {
namespace {

// Handle value = generation << kIndexBits | (slot index + 1). The value is
// never 0, and the generation changes each time a slot is freed, so a closed
// handle does not name the slot's next object.
constexpr unsigned kIndexBits = 24;
constexpr std::uint64_t kIndexMask = (std::uint64_t{1} << kIndexBits) - 1;
constexpr std::size_t kMaxSlots = kIndexMask; // index + 1 must fit the mask
// Freed slots wait in line until this many are free, so that a value just
// closed is not handed out again at once.
constexpr std::size_t kReuseAfter = 64;

struct Slot {
    std::shared_ptr<KernelObject> object;
    std::uint32_t generation = 1;
};

struct Table {
    std::mutex lock;
    std::vector<Slot> slots;
    std::deque<std::uint32_t> free;
    std::size_t open = 0;
};

// Never destroyed: detached threads may still close handles while the
// process exits.
Table& GetTable()
{
    static Table* table = new Table;
    return *table;
}

HANDLE MakeHandle(std::uint32_t index, std::uint32_t generation)
{
    std::uint64_t value = (static_cast<std::uint64_t>(generation) << kIndexBits) | (index + 1u);
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

// Slot of an open handle, or null. Called with the table lock held.
Slot* FindSlot(Table& table, HANDLE handle)
{
    std::uint64_t value = reinterpret_cast<std::uintptr_t>(handle);
    std::uint64_t index = value & kIndexMask;
    std::uint64_t generation = value >> kIndexBits;
    if (index == 0 || index > table.slots.size() || generation > UINT32_MAX)
        return nullptr;
    Slot& slot = table.slots[index - 1];
    if (!slot.object || slot.generation != generation)
        return nullptr;
    return &slot;
}

} // namespace

HANDLE RegisterObject(std::shared_ptr<KernelObject> object)
{
    if (!object) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Table& table = GetTable();
    std::lock_guard<std::mutex> guard(table.lock);
    std::uint32_t index;
    if (table.free.size() >= kReuseAfter || (table.slots.size() >= kMaxSlots && !table.free.empty())) {
        index = table.free.front();
        table.free.pop_front();
    } else if (table.slots.size() < kMaxSlots) {
        index = static_cast<std::uint32_t>(table.slots.size());
        table.slots.emplace_back();
    } else {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Slot& slot = table.slots[index];
    slot.object = std::move(object);
    ++table.open;
    return MakeHandle(index, slot.generation);
}

std::shared_ptr<KernelObject> LookupObject(HANDLE handle)
{
    if (handle == GetCurrentThread())
        return CurrentThreadObject();
    Table& table = GetTable();
    std::lock_guard<std::mutex> guard(table.lock);
    Slot* slot = FindSlot(table, handle);
    if (!slot) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return slot->object;
}

std::size_t OpenHandleCount()
{
    Table& table = GetTable();
    std::lock_guard<std::mutex> guard(table.lock);
    return table.open;
}

} // namespace platform

BOOL CloseHandle(HANDLE handle)
{
    using namespace platform;
    if (handle == GetCurrentThread())
        return TRUE;
    std::shared_ptr<KernelObject> released;
    {
        Table& table = GetTable();
        std::lock_guard<std::mutex> guard(table.lock);
        Slot* slot = FindSlot(table, handle);
        if (!slot) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        released = std::move(slot->object);
        slot->object.reset();
        slot->generation = slot->generation == UINT32_MAX ? 1 : slot->generation + 1;
        table.free.push_back(static_cast<std::uint32_t>(slot - table.slots.data()));
        --table.open;
    }
    // The object may die here, outside the table lock: its destructor is
    // free to use the table or other locks.
    released->OnHandleClosed();
    released.reset();
    return TRUE;
}
