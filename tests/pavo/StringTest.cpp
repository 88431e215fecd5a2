#include "Lib_cpp/core/String.h"

#include "Lib_cpp/core/Diag.h"
#include "platform/base/Error.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <climits>
#include <cstdio>
#include <string>
#include <thread>

namespace {

LONG Refs(const IxString& s)
{
    return s.Data()->m_nRefs.load();
}

std::u16string Str(const IxString& s)
{
    return s.Text();
}

void ClearLastError()
{
    IxSetLastError({0, 0});
}

void ExpectNoMemoryRecorded()
{
    IxLastError error{};
    IxGetLastError(&error);
    EXPECT_EQ(error.kind, static_cast<DWORD>(IXERR_NOMEMORY));
    EXPECT_EQ(error.error, ERROR_NOT_ENOUGH_MEMORY);
}

IX_STATIC_STRING(kStaticTitle, u"Settings");

} // namespace

TEST(IxString, NullAndEmptyTextBothReadAsEmptyButOnlyEmptyHoldsABlock)
{
    IxString fromNull(static_cast<LPCWSTR>(nullptr));
    IxString fromEmpty(u"");
    IxString byDefault;
    for (const IxString* s : {&fromNull, &fromEmpty, &byDefault}) {
        EXPECT_TRUE(s->IsEmpty());
        EXPECT_EQ(s->Length(), 0);
        ASSERT_NE(s->Text(), nullptr);
        EXPECT_EQ(s->Text()[0], 0);
    }
    EXPECT_EQ(fromNull.Data(), nullptr);
    EXPECT_EQ(byDefault.Data(), nullptr);
    ASSERT_NE(fromEmpty.Data(), nullptr);
    EXPECT_EQ(Refs(fromEmpty), 1);
    EXPECT_TRUE(fromNull.Equals(fromEmpty));
}

TEST(IxString, ConstructsFromTextAndFromOneCharacter)
{
    IxString text(u"Radio");
    EXPECT_EQ(Str(text), u"Radio");
    EXPECT_EQ(text.Length(), 5);
    EXPECT_FALSE(text.IsEmpty());

    IxString ch(u'Z');
    EXPECT_EQ(Str(ch), u"Z");
    EXPECT_EQ(ch.Length(), 1);
}

TEST(IxString, CopySharesTheBlockAndDestructionReleasesIt)
{
    IxString a(u"shared");
    {
        IxString b(a);
        EXPECT_EQ(b.Data(), a.Data());
        EXPECT_EQ(Refs(a), 2);
        IxString c;
        c = b;
        EXPECT_EQ(Refs(a), 3);
        IxString d(std::move(c));
        EXPECT_EQ(c.Data(), nullptr);
        EXPECT_EQ(Refs(a), 3);
    }
    EXPECT_EQ(Refs(a), 1);

    IxString e(u"other");
    e = std::move(a);
    EXPECT_EQ(Str(e), u"shared");
    EXPECT_EQ(Refs(e), 1);
    EXPECT_EQ(a.Data(), nullptr);
}

TEST(IxString, AssignMakesANewBlockAndNullReleases)
{
    IxString a(u"old");
    IxString holder(a);
    EXPECT_TRUE(a.Assign(u"new"));
    EXPECT_EQ(Str(a), u"new");
    EXPECT_EQ(Str(holder), u"old");
    EXPECT_EQ(Refs(holder), 1);

    EXPECT_TRUE(a.Assign(u""));
    ASSERT_NE(a.Data(), nullptr);
    EXPECT_TRUE(a.IsEmpty());

    EXPECT_TRUE(a.Assign(nullptr));
    EXPECT_EQ(a.Data(), nullptr);
}

TEST(IxString, AssignCopiesFromItsOwnText)
{
    IxString a(u"abcdef");
    EXPECT_TRUE(a.Assign(a.Text() + 2));
    EXPECT_EQ(Str(a), u"cdef");
    EXPECT_TRUE(a.Append(a.Text(), 2));
    EXPECT_EQ(Str(a), u"cdefcd");
}

TEST(IxString, AssignCharsTakesExactlyCountCharacters)
{
    IxString a(u"keep");
    EXPECT_TRUE(a.AssignChars(u"abcdef", 3));
    EXPECT_EQ(Str(a), u"abc");
    EXPECT_EQ(a.Data()->m_nSize, 3);

    EXPECT_TRUE(a.AssignChars(u"abc", 0));
    EXPECT_EQ(a.Data(), nullptr);
}

TEST(IxString, ShareWithItselfKeepsTheText)
{
    IxString a(u"self");
    IxStringData* block = a.Data();
    a.Share(a);
    EXPECT_EQ(a.Data(), block);
    EXPECT_EQ(Str(a), u"self");
    EXPECT_EQ(Refs(a), 1);

    IxString& alias = a;
    a = alias;
    EXPECT_EQ(Str(a), u"self");
    EXPECT_EQ(Refs(a), 1);
}

TEST(IxString, ShareAndAttachDataTakeTheOtherBlock)
{
    IxString a(u"one");
    IxString b(u"two");
    b.Share(a);
    EXPECT_EQ(b.Data(), a.Data());
    EXPECT_EQ(Refs(a), 2);

    IxString c;
    c.AttachData(a.Data());
    EXPECT_EQ(Refs(a), 3);
    c.AttachData(nullptr);
    EXPECT_EQ(c.Data(), nullptr);
    EXPECT_EQ(Refs(a), 2);
}

TEST(IxString, StaticBlockIsSharedButNeverFreed)
{
    {
        IxString a(&kStaticTitle);
        IxString b;
        b.AttachData(&kStaticTitle);
        EXPECT_EQ(Str(a), u"Settings");
        EXPECT_EQ(a.Length(), 8);
        EXPECT_EQ(kStaticTitle.m_nRefs.load(), 3);
    }
    EXPECT_EQ(kStaticTitle.m_nRefs.load(), 1);

    // Its text is in read-only data: truncating gives this handle its own copy.
    IxString c(&kStaticTitle);
    c.Truncate(3);
    EXPECT_EQ(Str(c), u"Set");
    EXPECT_NE(c.Data(), &kStaticTitle);
    EXPECT_EQ(kStaticTitle.m_pszData, std::u16string_view(u"Settings"));
    EXPECT_EQ(kStaticTitle.m_nRefs.load(), 1);
}

TEST(IxString, AppendMakesANewBlockWithBothParts)
{
    struct Case {
        LPCWSTR start;
        LPCWSTR chars;
        int n;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"Track ", u"12xyz", 2, u"Track 12"},
        {nullptr, u"abc", 3, u"abc"},
        {u"abc", u"", 0, u"abc"},
    };
    for (const Case& c : cases) {
        IxString s(c.start);
        IxString holder(s);
        EXPECT_TRUE(s.Append(c.chars, c.n));
        EXPECT_EQ(Str(s), c.expected);
        EXPECT_EQ(Str(holder), c.start ? std::u16string(c.start) : u"");
        EXPECT_NE(s.Data(), holder.Data());
    }
}

TEST(IxString, AllocBufferGivesAnUnsharedBlockToFill)
{
    IxString a(u"previous");
    IxString holder(a);
    LPWSTR buffer = a.AllocBuffer(4);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[4], 0);
    buffer[0] = u'W';
    buffer[1] = u'r';
    buffer[2] = u'e';
    buffer[3] = u'n';
    EXPECT_EQ(Str(a), u"Wren");
    EXPECT_EQ(Refs(a), 1);
    EXPECT_EQ(Str(holder), u"previous");
}

TEST(IxString, TruncateOnASharedBlockShortensEveryHolder)
{
    IxString a(u"Bluetooth");
    IxString b(a);
    a.Truncate(4);
    EXPECT_EQ(Str(a), u"Blue");
    EXPECT_EQ(Str(b), u"Blue");

    // Positions outside the block are ignored.
    a.Truncate(100);
    a.Truncate(-1);
    EXPECT_EQ(Str(b), u"Blue");
    IxString none;
    none.Truncate(0);
    EXPECT_EQ(none.Data(), nullptr);
}

TEST(IxString, EqualsComparesTheTexts)
{
    struct Case {
        LPCWSTR a;
        LPCWSTR b;
        bool equal;
    };
    const Case cases[] = {
        {u"FM1", u"FM1", true},  {u"FM1", u"FM2", false}, {u"FM", u"FM1", false},
        {u"fm1", u"FM1", false}, {nullptr, u"", true},    {nullptr, u"x", false},
    };
    for (const Case& c : cases) {
        IxString a(c.a), b(c.b);
        EXPECT_EQ(a.Equals(b) != 0, c.equal) << std::string(a.Text(), a.Text() + a.Length());
        EXPECT_EQ(b.Equals(a) != 0, c.equal);
        EXPECT_EQ(a.Equals(c.b) != 0, c.equal);
    }
}

TEST(IxString, ReleaseMakesTheHandleNull)
{
    IxString a(u"x");
    IxString b(a);
    a.Release();
    EXPECT_EQ(a.Data(), nullptr);
    EXPECT_EQ(Refs(b), 1);
    a.Release();
    EXPECT_EQ(a.Data(), nullptr);
}

TEST(IxString, ReferencesMayBeTakenAndDroppedFromManyThreads)
{
    IxString shared(u"across threads");
    auto work = [&shared] {
        for (int i = 0; i < 20000; ++i) {
            IxString copy(shared);
            IxString other;
            other.Share(copy);
        }
    };
    std::thread t1(work), t2(work), t3(work);
    t1.join();
    t2.join();
    t3.join();
    EXPECT_EQ(Refs(shared), 1);
    EXPECT_EQ(Str(shared), u"across threads");
}

TEST(IxString, AppendBeyondTheLengthLimitFailsAndKeepsTheText)
{
    IxString a(u"abc");
    ClearLastError();
    EXPECT_FALSE(a.Append(u"x", INT_MAX));
    ExpectNoMemoryRecorded();
    EXPECT_EQ(Str(a), u"abc");
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define IX_SANITIZED_ALLOCATOR 1
#endif

TEST(IxString, AllocBufferFailureKeepsTheOldValue)
{
#ifdef IX_SANITIZED_ALLOCATOR
    GTEST_SKIP() << "the sanitizer's allocator aborts instead of returning null";
#else
    // Cap the address space a little above what is in use so that a 4 GiB
    // buffer cannot be had.
    long pages = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    ASSERT_NE(statm, nullptr);
    ASSERT_EQ(std::fscanf(statm, "%ld", &pages), 1);
    std::fclose(statm);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &old), 0);
    rlimit capped = old;
    capped.rlim_cur = static_cast<rlim_t>(pages) * 4096 + (512u << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &capped), 0);

    IxString a(u"kept");
    ClearLastError();
    LPWSTR buffer = a.AllocBuffer(INT_MAX - 1);
    setrlimit(RLIMIT_AS, &old);

    EXPECT_EQ(buffer, nullptr);
    ExpectNoMemoryRecorded();
    EXPECT_EQ(Str(a), u"kept");
    EXPECT_EQ(Refs(a), 1);
#endif
}
