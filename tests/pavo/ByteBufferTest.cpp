// The growable byte buffer: capacity in whole growth steps above the size
// asked for, appends that answer the new last byte, assignment and freeing.
#include "Lib_cpp/core/ByteBuffer.h"

#include <gtest/gtest.h>

#include <string>

TEST(ByteBuffer, GrowsInWholeStepsAboveTheSizeAskedFor)
{
    struct Case {
        DWORD step;
        DWORD size;
        DWORD capacity;
    };
    const Case cases[] = {{8, 0, 8}, {8, 1, 8}, {8, 7, 8}, {8, 8, 16}, {8, 17, 24}, {1, 5, 6}, {100, 250, 300}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.step) + " " + std::to_string(c.size));
        ByteBuffer buffer(c.step);
        ASSERT_NE(buffer.Grow(c.size), nullptr);
        EXPECT_EQ(buffer.Capacity(), c.capacity);
        EXPECT_EQ(buffer.Count(), 0u);
    }
}

TEST(ByteBuffer, AppendAnswersTheNewLastByteAndKeepsTheContentWhenItGrows)
{
    ByteBuffer buffer(8);
    std::string expected;
    for (int i = 0; i < 20; ++i) {
        BYTE* last = buffer.AppendByte(static_cast<BYTE>('a' + i));
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(last, buffer.Data() + i);
        EXPECT_EQ(*last, 'a' + i);
        expected += static_cast<char>('a' + i);
    }
    EXPECT_EQ(buffer.Capacity(), 24u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Data()), buffer.Count()), expected);

    const BYTE bytes[] = {'$', 'X'};
    ASSERT_TRUE(buffer.Assign(bytes, 2));
    ASSERT_TRUE(buffer.AppendText("*1"));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Data()), buffer.Count()), "$X*1");
    buffer.Free();
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Count(), 0u);
    EXPECT_EQ(buffer.Capacity(), 0u);
}
