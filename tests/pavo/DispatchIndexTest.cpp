#include "Lib_cpp/kernel/DispatchIndex.h"
#include "Lib_cpp/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Nobody : public IxReceiver {
public:
    int ActionIsInvoked(int, int, LPARAM) override { return 0; }
    LRESULT OnEvent(int, LPARAM) override { return 0; }
};

std::vector<int> Listed(const IxListenerIndex& index, DWORD word)
{
    IxListenerIndex::Runs runs;
    index.Find(word, &runs);
    std::vector<int> listed;
    int i;
    while (IxNextListener(runs, &i))
        listed.push_back(i);
    return listed;
}

// Every word of a grid of ids and kinds finds exactly the listeners whose
// filter matches it, in table order, each once: rows of every shape, rows
// that overlap within one filter, a removed pair and a null filter, words
// whose id or kind alone has rows elsewhere; with the
// runs of ids and kinds merged ahead and without.
TEST(ListenerIndex, FindsExactlyTheMatchingListenersInTableOrder)
{
    Nobody r;
    const DWORD byWord[] = {IxActionWord(7, 3), 0};
    const DWORD byId[] = {IxActionWord(7, 0), 0};
    const DWORD byKind[] = {IxActionWord(0, 3), 0};
    const DWORD overlapping[] = {IxActionWord(7, 3), IxActionWord(7, 0), IxActionWord(0, 3), IxActionWord(7, 3), 0};
    const DWORD negative[] = {IxActionWord(-1, 0), IxActionWord(0, 0xFFFF), IxActionWord(-2, 4129), 0};
    const DWORD empty[] = {0};
    // Words whose id (or kind) has rows of its own while no row of the other
    // half exists.
    const DWORD wordsAlone[] = {IxActionWord(9, 5), IxActionWord(11, 6), 0};
    const DWORD idNine[] = {IxActionWord(9, 0), 0};
    const DWORD kindSix[] = {IxActionWord(0, 6), 0};
    IxListenerPair pairs[] = {
        {byKind, &r}, {overlapping, &r}, {byWord, &r}, {byId, nullptr}, {nullptr, &r},    {negative, &r},
        {byId, &r},   {empty, &r},       {byWord, &r}, {idNine, &r},    {wordsAlone, &r}, {kindSix, &r},
    };
    const int count = static_cast<int>(sizeof pairs / sizeof pairs[0]);
    for (std::size_t mergedLimit : {IxListenerIndex::kMergedLimit, std::size_t{0}}) {
        IxListenerIndex index;
        ASSERT_TRUE(index.Build(pairs, count, mergedLimit));
        const int ids[] = {0, 1, 7, 8, 9, 11, -1, -2};
        const int kinds[] = {0, 1, 3, 5, 6, 4129, 0xFFFF};
        for (int id : ids) {
            for (int kind : kinds) {
                const DWORD word = IxActionWord(id, kind);
                std::vector<int> expected;
                for (int i = 0; i < count; ++i) {
                    if (pairs[i].pReceiver && IxMatchesFilter(pairs[i].pFilter, word))
                        expected.push_back(i);
                }
                EXPECT_EQ(Listed(index, word), expected) << id << "/" << kind << " limit " << mergedLimit;
            }
        }
    }
}

TEST(ListenerIndex, StaleUntilBuiltAndAfterInvalidate)
{
    IxListenerIndex index;
    EXPECT_FALSE(index.IsValid());
    ASSERT_TRUE(index.Build(nullptr, 0));
    EXPECT_TRUE(Listed(index, IxActionWord(1, 1)).empty());
    index.Invalidate();
    EXPECT_FALSE(index.IsValid());
}

TEST(SubscriptionIndex, FindsTheEntryOfEachIdAndTheFirstOfTwins)
{
    std::vector<IxSubscription> entries;
    for (int id : {5, -1, 0, 1000, 65541, 5})
        entries.push_back(IxSubscription{id});
    std::vector<IxSubscription*> table;
    for (IxSubscription& entry : entries)
        table.push_back(&entry);
    IxSubscriptionIndex index;
    ASSERT_TRUE(index.Build(table.data(), static_cast<int>(table.size())));
    EXPECT_EQ(index.Find(5), &entries[0]);
    EXPECT_EQ(index.Find(-1), &entries[1]);
    EXPECT_EQ(index.Find(0), &entries[2]);
    EXPECT_EQ(index.Find(1000), &entries[3]);
    EXPECT_EQ(index.Find(65541), &entries[4]);
    EXPECT_EQ(index.Find(6), nullptr);
}

} // namespace
