#include "platform/base/PageBuffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/mman.h>
#include <utility>

namespace platform {

namespace {

// Buffers from half a megabyte on (a screen is 768 KB) lie on huge pages
// where the kernel offers them: one fault for 2 MB in place of one per
// 4 KB page, which on a virtual machine is most of a first paint's cost.
constexpr std::size_t kHugePage = 2 * 1024 * 1024;
constexpr std::size_t kHugeFrom = 512 * 1024;

// The length of the mapping that holds a large buffer of the given size.
std::size_t MappedLength(std::size_t bytes)
{
    return bytes >= kHugeFrom ? (bytes + kHugePage - 1) / kHugePage * kHugePage : bytes;
}

// A zeroed mapping of MappedLength(bytes), its pages present and writable;
// null when memory runs out.
void* MapZeroed(std::size_t bytes)
{
    if (bytes < kHugeFrom) {
        void* data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        return data == MAP_FAILED ? nullptr : data;
    }
    // Reserve one huge page more than needed and keep the aligned run.
    std::size_t length = MappedLength(bytes);
    void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    auto start = reinterpret_cast<std::uintptr_t>(raw);
    std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start)
        munmap(raw, aligned - start);
    if (std::size_t tail = start + kHugePage - aligned)
        munmap(reinterpret_cast<void*>(aligned + length), tail);
    void* data = reinterpret_cast<void*>(aligned);
    // Without huge pages (switched off, or none free) this is refused or
    // falls back to small pages; either way the buffer works.
    madvise(data, length, MADV_HUGEPAGE);
    // Fault the pages in now, writable: a first write to a page that was
    // only mapped costs a fault of its own.
    if (madvise(data, bytes, MADV_POPULATE_WRITE) != 0)
        std::memset(data, 0, bytes);
    return data;
}

// Large buffers freed lately, kept for the next ones of their sizes.
struct SpareMappings {
    static constexpr int kSlots = 4;
    std::mutex lock;
    void* data[kSlots] = {};
    std::size_t size[kSlots] = {};
    int next = 0; // the slot given up next when all are taken
};

SpareMappings& Spares()
{
    static SpareMappings spares;
    return spares;
}

void* TakeSpare(std::size_t bytes)
{
    SpareMappings& spares = Spares();
    std::lock_guard<std::mutex> hold(spares.lock);
    for (int i = 0; i < SpareMappings::kSlots; ++i)
        if (spares.data[i] && spares.size[i] == bytes)
            return std::exchange(spares.data[i], nullptr);
    return nullptr;
}

void KeepSpare(void* data, std::size_t bytes)
{
    SpareMappings& spares = Spares();
    void* old = nullptr;
    std::size_t oldSize = 0;
    {
        std::lock_guard<std::mutex> hold(spares.lock);
        int slot = -1;
        for (int i = 0; i < SpareMappings::kSlots && slot < 0; ++i)
            if (!spares.data[i])
                slot = i;
        if (slot < 0) {
            slot = spares.next;
            spares.next = (spares.next + 1) % SpareMappings::kSlots;
        }
        old = std::exchange(spares.data[slot], data);
        oldSize = std::exchange(spares.size[slot], bytes);
    }
    if (old)
        munmap(old, MappedLength(oldSize));
}

} // namespace

PageBuffer::PageBuffer(std::size_t bytes)
{
    if (bytes == 0)
        return;
    void* data = nullptr;
    if (bytes < kMappedFrom) {
        data = std::calloc(bytes, 1);
    } else if ((data = TakeSpare(bytes)) != nullptr) {
        std::memset(data, 0, bytes);
    } else {
        data = MapZeroed(bytes);
    }
    if (data) {
        m_data = static_cast<std::uint8_t*>(data);
        m_size = bytes;
    }
}

PageBuffer::~PageBuffer()
{
    Free();
}

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0))
{
}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept
{
    if (this != &other) {
        Free();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

void PageBuffer::Free()
{
    if (!m_data)
        return;
    if (m_size < kMappedFrom)
        std::free(m_data);
    else
        KeepSpare(m_data, m_size);
    m_data = nullptr;
    m_size = 0;
}

} // namespace platform
