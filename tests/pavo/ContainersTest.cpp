#include "Lib_cpp/core/Containers.h"

#include "Lib_cpp/core/Diag.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Item : IxListNode {
    explicit Item(int v) : value(v) {}
    int value;
};

std::vector<int> Values(const IxList& list)
{
    std::vector<int> out;
    for (IxListNode* n = list.Head(); n; n = n->m_pNext)
        out.push_back(static_cast<Item*>(n)->value);
    // The backward links must agree.
    std::vector<int> back;
    for (IxListNode* n = list.Tail(); n; n = n->m_pPrev)
        back.insert(back.begin(), static_cast<Item*>(n)->value);
    EXPECT_EQ(out, back);
    return out;
}

template <class T> std::vector<T> Values(const IxArray<T>& a)
{
    return std::vector<T>(a.Data(), a.Data() + a.Count());
}

LONG Refs(const IxString& s)
{
    return s.Data()->m_nRefs.load();
}

} // namespace

// ---------------------------------------------------------------------------
// IxList

TEST(IxList, PushesAndPopsAtBothEnds)
{
    Item a(1), b(2), c(3);
    IxList list;
    EXPECT_EQ(list.PopFront(), nullptr);
    EXPECT_EQ(list.PopBack(), nullptr);

    list.PushBack(&b);
    list.PushFront(&a);
    list.PushBack(&c);
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(list.Count(), 3);

    EXPECT_EQ(list.PopFront(), &a);
    EXPECT_EQ(a.m_pNext, nullptr);
    EXPECT_EQ(list.PopBack(), &c);
    EXPECT_EQ(c.m_pPrev, nullptr);
    EXPECT_EQ(list.PopBack(), &b);
    EXPECT_EQ(list.Head(), nullptr);
    EXPECT_EQ(list.Tail(), nullptr);
    EXPECT_TRUE(list.IsEmpty());
}

TEST(IxList, InsertBeforeAndAfter)
{
    struct Case {
        bool before;
        int position; // index of the position node, -1 for null
        std::vector<int> expected;
    };
    const Case cases[] = {
        {true, -1, {1, 2, 3, 9}},  // null position: at the tail
        {false, -1, {9, 1, 2, 3}}, // null position: at the head
        {true, 0, {9, 1, 2, 3}},   {true, 2, {1, 2, 9, 3}}, {false, 0, {1, 9, 2, 3}}, {false, 2, {1, 2, 3, 9}},
    };
    for (const Case& c : cases) {
        Item a(1), b(2), d(3), x(9);
        IxList list;
        list.PushBack(&a);
        list.PushBack(&b);
        list.PushBack(&d);
        IxListNode* position = c.position < 0 ? nullptr : list.At(c.position);
        if (c.before)
            list.InsertBefore(position, &x);
        else
            list.InsertAfter(position, &x);
        EXPECT_EQ(Values(list), c.expected) << c.before << " " << c.position;
    }
}

TEST(IxList, IndexOfAtAndRemove)
{
    Item a(1), b(2), c(3), d(4), stray(5);
    IxList list;
    for (Item* i : {&a, &b, &c, &d})
        list.PushBack(i);
    EXPECT_EQ(list.IndexOf(&c), 2);
    EXPECT_EQ(list.IndexOf(&stray), 4);
    EXPECT_EQ(list.At(3), &d);
    EXPECT_EQ(list.At(4), nullptr);
    EXPECT_EQ(list.At(-1), nullptr);

    list.Remove(&b);
    EXPECT_EQ(b.m_pPrev, nullptr);
    EXPECT_EQ(b.m_pNext, nullptr);
    EXPECT_EQ(Values(list), (std::vector<int>{1, 3, 4}));
    list.Remove(&a);
    list.Remove(&d);
    list.Remove(&stray);
    EXPECT_EQ(Values(list), (std::vector<int>{3}));
    list.Remove(&c);
    EXPECT_TRUE(list.IsEmpty());
}

// ---------------------------------------------------------------------------
// IxArray

TEST(IxArray, GrowthRuleGivesTheNextMultipleOfTheStepAboveTheRequest)
{
    struct Case {
        int n, step, capacity;
    };
    const Case cases[] = {{0, 8, 8}, {1, 8, 8}, {7, 8, 8}, {8, 8, 16}, {9, 8, 16}, {5, 1, 6}, {0x7FFFFFFF, 8, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(IxGrowCapacity(c.n, c.step), c.capacity) << c.n << "/" << c.step;
}

TEST(IxArray, StepEightGrowsToSixteenForTheNinthElement)
{
    IxArray<int> a(8);
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(a.Add(i));
    EXPECT_EQ(a.Capacity(), 8);
    int* slot = a.AppendSlot();
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(*slot, 0);
    EXPECT_EQ(a.Capacity(), 16);
    EXPECT_EQ(a.Count(), 9);
    // The new slots beyond the count are zeroed as well.
    for (int i = 9; i < 16; ++i)
        EXPECT_EQ(a.Data()[i], 0);
}

TEST(IxArray, ReserveGrowsOnlyBeyondTheCapacity)
{
    IxArray<short> a(4);
    EXPECT_NE(a.Reserve(4), nullptr);
    EXPECT_EQ(a.Capacity(), 8);
    short* data = a.Data();
    EXPECT_EQ(a.Reserve(8), data);
    EXPECT_EQ(a.Capacity(), 8);
    EXPECT_NE(a.Grow(9), nullptr);
    EXPECT_EQ(a.Capacity(), 12);
}

TEST(IxArray, InsertGapMovesUpAndZeroes)
{
    IxArray<int> a;
    const int start[] = {1, 2, 3};
    ASSERT_TRUE(a.Insert(0, start, 3));
    int* gap = a.InsertGap(1, 2);
    ASSERT_NE(gap, nullptr);
    EXPECT_EQ(Values(a), (std::vector<int>{1, 0, 0, 2, 3}));
    gap[0] = 7;
    const int more[] = {8, 9};
    ASSERT_TRUE(a.Insert(5, more, 2));
    EXPECT_EQ(Values(a), (std::vector<int>{1, 7, 0, 2, 3, 8, 9}));
    // From its own elements, even when the insertion reallocates.
    ASSERT_TRUE(a.Insert(0, a.Data() + 5, 2));
    EXPECT_EQ(Values(a), (std::vector<int>{8, 9, 1, 7, 0, 2, 3, 8, 9}));
    EXPECT_TRUE(a.RemoveAt(2));
    EXPECT_FALSE(a.RemoveAt(8));
    EXPECT_EQ(Values(a), (std::vector<int>{8, 9, 7, 0, 2, 3, 8, 9}));
}

TEST(IxArray, MoveEntryShiftsTheEntriesBetween)
{
    const struct {
        int from, to;
        std::vector<int> after;
    } cases[] = {
        {1, 3, {0, 2, 3, 1, 4}},
        {3, 0, {3, 0, 1, 2, 4}},
        {1, 9, {0, 2, 3, 4, 1}}, // out of range: the last position
        {2, 2, {0, 1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        IxArray<int> a;
        for (int i = 0; i < 5; ++i)
            a.Add(i);
        EXPECT_TRUE(a.MoveEntry(c.from, c.to));
        EXPECT_EQ(Values(a), c.after) << c.from << " -> " << c.to;
        EXPECT_FALSE(a.MoveEntry(5, 0));
    }
}

TEST(IxArray, FirstIndexOfValueAtAndFree)
{
    IxArray<int> a;
    EXPECT_EQ(a.First(), 0);
    EXPECT_EQ(a.IndexOfValue(4), -1);
    a.Add(5);
    a.Add(4);
    a.Add(4);
    EXPECT_EQ(a.First(), 5);
    EXPECT_EQ(a.IndexOfValue(4), 1);
    EXPECT_EQ(a.At(2), 4);
    EXPECT_EQ(a.At(3), 0);
    EXPECT_EQ(a.At(-1), 0);
    a.Free();
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(a.Capacity(), 0);
    EXPECT_EQ(a.Data(), nullptr);
}

TEST(IxArray, MoveTransfersTheBuffer)
{
    IxArray<int> a;
    a.Add(1);
    IxArray<int> b(std::move(a));
    EXPECT_EQ(a.Data(), nullptr);
    EXPECT_EQ(Values(b), std::vector<int>{1});
    IxArray<int> c;
    c.Add(2);
    c = std::move(b);
    EXPECT_EQ(Values(c), std::vector<int>{1});
}

TEST(IxArray, FailedGrowthRecordsNoMemoryAndKeepsTheArray)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator aborts instead of returning null";
#else
    struct Record {
        char bytes[1 << 20];
    };
    IxArray<Record> a;
    ASSERT_NE(a.AppendSlot(), nullptr);
    a.Data()[0].bytes[0] = 42;
    Record* data = a.Data();
    IxSetLastError({0, 0});
    EXPECT_EQ(a.Reserve(1 << 30), nullptr); // a petabyte
    IxLastError error{};
    IxGetLastError(&error);
    EXPECT_EQ(error.kind, static_cast<DWORD>(IXERR_NOMEMORY));
    EXPECT_EQ(error.error, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(a.Data(), data);
    EXPECT_EQ(a.Count(), 1);
    EXPECT_EQ(a.Capacity(), 8);
    EXPECT_EQ(a.Data()[0].bytes[0], 42);
#endif
}

// ---------------------------------------------------------------------------
// IxStringArray

TEST(IxStringArray, AddSharesAndAddTextCopies)
{
    IxString title(u"Title");
    IxStringArray a;
    EXPECT_TRUE(a.Add(title));
    EXPECT_EQ(Refs(title), 2);
    WCHAR text[] = u"copy";
    EXPECT_TRUE(a.AddText(text));
    text[0] = u'C';
    EXPECT_TRUE(a.AddText(nullptr));
    EXPECT_TRUE(a.InsertText(0, u"first"));

    ASSERT_EQ(a.Count(), 4);
    EXPECT_EQ(std::u16string(a.TextAt(0)), u"first");
    EXPECT_EQ(a.At(1).Data(), title.Data());
    EXPECT_EQ(std::u16string(a[2].Text()), u"copy");
    EXPECT_EQ(a[3].Data(), nullptr);
    EXPECT_EQ(a.At(4).Data(), nullptr);
    EXPECT_EQ(std::u16string(a.TextAt(4)), u"");

    a.RemoveAll();
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(Refs(title), 1);
}

TEST(IxStringArray, SetAtGrowsWithNullStringsAndReplacesTheSlot)
{
    IxString one(u"one"), two(u"two");
    IxStringArray a(4);
    EXPECT_TRUE(a.SetAt(5, one));
    EXPECT_EQ(a.Count(), 6);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(a[i].Data(), nullptr);
    EXPECT_EQ(Refs(one), 2);

    EXPECT_TRUE(a.SetAt(5, two));
    EXPECT_EQ(Refs(one), 1);
    EXPECT_EQ(Refs(two), 2);
    EXPECT_FALSE(a.SetAt(-1, two));

    EXPECT_TRUE(a.RemoveAt(5));
    EXPECT_EQ(Refs(two), 1);
    a.SetAt(0, two);
    a.Destroy();
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(Refs(two), 1);
}

TEST(IxStringArray, DestructionAndMoveReleaseEachStringOnce)
{
    IxString s(u"s");
    {
        IxStringArray a;
        a.Add(s);
        a.Add(s);
        IxStringArray b(std::move(a));
        IxStringArray c;
        c.Add(s);
        c = std::move(b);
        EXPECT_EQ(Refs(s), 3);
        EXPECT_EQ(c.Count(), 2);
    }
    EXPECT_EQ(Refs(s), 1);
}

// ---------------------------------------------------------------------------
// IxRing

TEST(IxRing, PopsInPushOrder)
{
    IxRing ring;
    IxRingEntry e{};
    EXPECT_FALSE(ring.Pop(&e));
    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(IxPostAction(ring, static_cast<WORD>(i), 4096, i * 10));
    EXPECT_EQ(ring.Count(), 3);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(ring.Pop(&e));
        EXPECT_EQ(e.dwAction, static_cast<DWORD>(i) | (4096u << 16));
        EXPECT_EQ(e.lValue, i * 10);
    }
    EXPECT_FALSE(ring.Pop(&e));
    EXPECT_EQ(ring.Count(), 0);
}

TEST(IxRing, PostActionPacksCodeAndKindAndCarriesPointers)
{
    IxRing ring;
    int object = 0;
    ASSERT_TRUE(IxPostAction(ring, 0xBEEF, 0x1006, reinterpret_cast<LPARAM>(&object)));
    IxRingEntry e{};
    ASSERT_TRUE(ring.Pop(&e));
    EXPECT_EQ(e.dwAction, 0x1006BEEFu);
    EXPECT_EQ(reinterpret_cast<int*>(e.lValue), &object);
}

TEST(IxRing, WrappedRingGrowsKeepingTheOrder)
{
    for (int popped = 0; popped <= 4; ++popped) {
        IxRing ring(4);
        int next = 0, expect = 0;
        for (int i = 0; i < 4; ++i)
            IxPostAction(ring, 1, 0, next++);
        IxRingEntry e{};
        for (int i = 0; i < popped; ++i) {
            ASSERT_TRUE(ring.Pop(&e));
            EXPECT_EQ(e.lValue, expect++);
        }
        // Fill again (wrapping), then one more to force growth, then more.
        for (int i = 0; i < popped + 1 + 5; ++i)
            ASSERT_TRUE(IxPostAction(ring, 1, 0, next++));
        EXPECT_EQ(ring.Count(), next - expect);
        while (ring.Pop(&e))
            EXPECT_EQ(e.lValue, expect++) << "popped first " << popped;
        EXPECT_EQ(expect, next);
    }
}

TEST(IxRing, ClearEmptiesTheRing)
{
    IxRing ring;
    IxPostAction(ring, 1, 0, 1);
    IxPostAction(ring, 2, 0, 2);
    ring.Clear();
    EXPECT_EQ(ring.Count(), 0);
    EXPECT_FALSE(ring.Pop(nullptr));
    IxPostAction(ring, 3, 0, 3);
    IxRingEntry e{};
    ASSERT_TRUE(ring.Pop(&e));
    EXPECT_EQ(e.lValue, 3);
}

// ---------------------------------------------------------------------------
// Companions

TEST(IxInsertSorted, InsertsEachValueBeforeTheFirstLargerElement)
{
    IxArray<int> target, source;
    for (int v : {1, 3, 5})
        target.Add(v);
    for (int v : {4, 0, 6, 3})
        source.Add(v);
    ASSERT_TRUE(IxInsertSorted(target, source));
    EXPECT_EQ(Values(target), (std::vector<int>{0, 1, 3, 3, 4, 5, 6}));

    ASSERT_TRUE(IxInsertSorted(target, target));
    EXPECT_EQ(Values(target), (std::vector<int>{0, 0, 1, 1, 3, 3, 3, 3, 4, 4, 5, 5, 6, 6}));
}

TEST(IxSplitChildren, SplitsSubfoldersAndFilesUnderThePrefix)
{
    struct Case {
        std::vector<LPCWSTR> paths;
        LPCWSTR prefix;
        std::vector<int> folders, files;
    };
    const Case cases[] = {
        {{u"A\\B\\x", u"A\\B\\y", u"A\\z"}, u"A\\", {0}, {2}},
        {{u"A\\z", u"B\\c\\d", u"A\\C\\e", u"A\\B\\f", u"A\\C\\g", u"A\\CD\\h", u"A"}, u"A\\", {2, 3, 5}, {0}},
        {{u"x", u"d\\y"}, nullptr, {1}, {0}},
    };
    for (const Case& c : cases) {
        IxStringArray paths;
        for (LPCWSTR p : c.paths)
            paths.AddText(p);
        IxArray<int> folders, files;
        ASSERT_TRUE(IxSplitChildren(paths, c.prefix, folders, files));
        EXPECT_EQ(Values(folders), c.folders);
        EXPECT_EQ(Values(files), c.files);
    }
}
