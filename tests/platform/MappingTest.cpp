#include "platform/os/Mapping.h"

#include "platform/base/Error.h"
#include "platform/io/Io.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Mapping, NamedMappingIsSharedAndOutlivesItsHandle)
{
    HANDLE first = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, u"MappingTest.Shared");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    auto* a = static_cast<char*>(MapViewOfFile(first, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a[0], 0); // new memory reads as zero
    std::strcpy(a, "hello");

    HANDLE second = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 16, u"MappingTest.Shared");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    auto* b = static_cast<const char*>(MapViewOfFile(second, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(b, nullptr);
    EXPECT_NE(static_cast<const void*>(a), static_cast<const void*>(b));
    EXPECT_STREQ(b, "hello");

    // The views keep the memory (and the name) after every handle is closed.
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));
    a[1] = 'a';
    EXPECT_STREQ(b, "hallo");
    HANDLE again = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 16, u"MappingTest.Shared");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(CloseHandle(again));

    EXPECT_TRUE(UnmapViewOfFile(a));
    EXPECT_TRUE(UnmapViewOfFile(b));
    EXPECT_EQ(platform::MappedViewCount(), 0u);

    // Gone with its last holder: the name makes a new, zeroed mapping.
    HANDLE fresh = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 16, u"MappingTest.Shared");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    auto* c = static_cast<const char*>(MapViewOfFile(fresh, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c[0], 0);
    EXPECT_TRUE(UnmapViewOfFile(c));
    EXPECT_TRUE(CloseHandle(fresh));
}

TEST(Mapping, ViewsAtAnOffset)
{
    HANDLE mapping
        = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 3 * kMappingGranularity, nullptr);
    ASSERT_NE(mapping, nullptr);
    auto* whole = static_cast<BYTE*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    auto* tail = static_cast<BYTE*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, kMappingGranularity, 16));
    ASSERT_NE(whole, nullptr);
    ASSERT_NE(tail, nullptr);
    whole[kMappingGranularity + 3] = 42;
    EXPECT_EQ(tail[3], 42);
    EXPECT_TRUE(UnmapViewOfFile(whole));
    EXPECT_TRUE(UnmapViewOfFile(tail));
    EXPECT_TRUE(CloseHandle(mapping));
}

TEST(Mapping, Failures)
{
    HANDLE readOnly = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 4096, nullptr);
    ASSERT_NE(readOnly, nullptr);

    struct Case {
        const char* what;
        HANDLE mapping;
        DWORD access, offsetLow, bytes, error;
    };
    const Case cases[] = {
        {"write to read-only", readOnly, FILE_MAP_WRITE, 0, 0, ERROR_ACCESS_DENIED},
        {"past the end", readOnly, FILE_MAP_READ, 0, 4097, ERROR_ACCESS_DENIED},
        {"offset at the end", readOnly, FILE_MAP_READ, kMappingGranularity, 0, ERROR_ACCESS_DENIED},
        {"unaligned offset", readOnly, FILE_MAP_READ, 100, 0, ERROR_MAPPED_ALIGNMENT},
        {"not a mapping", nullptr, FILE_MAP_READ, 0, 0, ERROR_INVALID_HANDLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(0);
        EXPECT_EQ(MapViewOfFile(c.mapping, c.access, 0, c.offsetLow, c.bytes), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_TRUE(CloseHandle(readOnly));

    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, 0x40, 0, 16, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CreateFileMappingW(nullptr, nullptr, PAGE_READWRITE, 0, 16, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);

    int local = 0;
    EXPECT_FALSE(UnmapViewOfFile(&local));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
}

} // namespace
