#include "platform/base/PageBuffer.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/mman.h>
#include <utility>

namespace platform {

namespace {

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
        munmap(old, oldSize);
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
        data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (data == MAP_FAILED)
            data = nullptr;
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
