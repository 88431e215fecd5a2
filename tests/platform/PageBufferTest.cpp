// Pixel memory: zeroed whatever its size, also when a large buffer reuses
// the pages of one freed before.
#include "platform/base/PageBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

bool AllZero(const platform::PageBuffer& buffer)
{
    return std::all_of(buffer.data(), buffer.data() + buffer.size(), [](std::uint8_t b) { return b == 0; });
}

TEST(PageBufferTest, EveryBufferStartsZeroedAlsoWhenItReusesFreedPages)
{
    for (std::size_t bytes : {std::size_t{1}, std::size_t{4000}, platform::PageBuffer::kMappedFrom, std::size_t{768000},
                              std::size_t{3 * 1024 * 1024 + 5}}) {
        for (int round = 0; round < 3; ++round) {
            platform::PageBuffer buffer(bytes);
            ASSERT_EQ(buffer.size(), bytes);
            EXPECT_TRUE(AllZero(buffer)) << bytes << " round " << round;
            std::memset(buffer.data(), 0xA5, bytes);
        }
    }
    // More large buffers alive than spares are kept, freed in any order.
    {
        platform::PageBuffer a(768000), b(768000), c(768000), d(768000), e(768000), f(768000);
        std::memset(c.data(), 1, c.size());
    }
    platform::PageBuffer again(768000);
    EXPECT_TRUE(AllZero(again));
}

TEST(PageBufferTest, MovesHandOverThePixels)
{
    platform::PageBuffer first(300000);
    std::uint8_t* pixels = first.data();
    platform::PageBuffer second(std::move(first));
    EXPECT_TRUE(first.empty());
    EXPECT_EQ(second.data(), pixels);
    platform::PageBuffer third;
    third = std::move(second);
    EXPECT_EQ(third.data(), pixels);
    EXPECT_EQ(third.size(), 300000u);
    EXPECT_TRUE(platform::PageBuffer(0).empty());
}

} // namespace
