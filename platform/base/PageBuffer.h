// Zeroed memory for pixels.
//
// A fresh anonymous mapping costs one page fault per page at its first
// touch, and on a virtual machine those faults are the largest part of the
// first paint (a full screen of 768 KB is 188 of them). Large buffers are
// therefore mapped with their pages populated in one call (on huge pages
// where the kernel has them), and the last few
// freed are kept for the next buffers of their sizes, so that a screen-sized
// buffer made for every paint costs a clear, not a mapping.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

class PageBuffer {
public:
    PageBuffer() = default;
    // bytes zeroed bytes; empty when memory runs out.
    explicit PageBuffer(std::size_t bytes);
    ~PageBuffer();
    PageBuffer(PageBuffer&& other) noexcept;
    PageBuffer& operator=(PageBuffer&& other) noexcept;
    PageBuffer(const PageBuffer&) = delete;
    PageBuffer& operator=(const PageBuffer&) = delete;

    std::uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    // Buffers from this size on are mappings of their own.
    static constexpr std::size_t kMappedFrom = 128 * 1024;

private:
    void Free();

    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

} // namespace platform
