// The texture atlas: first fit from the cursor round the free list, the
// split of a free rectangle, new pages, and what it refuses.
#include "Source/gate/GateTextureAtlas.h"
#include "tests/wren/GateFixture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace gate;
using GateAtlas = gatetest::GateGlTest;

namespace {

struct Place {
    int width, height;
    int x, y;
    std::size_t page; // index in Pages()
};

void Expect(GateTextureAtlas& atlas, const std::vector<Place>& places, int depth = 32)
{
    const std::vector<std::uint8_t> pixels(1024u * 1024u * 4u, 0x5A);
    for (const Place& p : places) {
        SCOPED_TRACE(testing::Message() << p.width << "x" << p.height);
        const GateAtlasEntry* entry = atlas.Allocate(p.width, p.height, pixels.data(), depth);
        ASSERT_NE(nullptr, entry);
        ASSERT_LT(p.page, atlas.Pages().size());
        EXPECT_EQ(atlas.Pages()[p.page], entry->texture);
        EXPECT_EQ(p.x, entry->x);
        EXPECT_EQ(p.y, entry->y);
        EXPECT_EQ(p.width, entry->width);
        EXPECT_EQ(p.height, entry->height);
    }
}

} // namespace

TEST_F(GateAtlas, TwoHalfPagesFillAPageAndAThirdOpensTheNext)
{
    GateTextureAtlas atlas;
    Expect(atlas, {{1024, 512, 0, 0, 0}, {1024, 512, 0, 512, 0}, {1024, 512, 0, 0, 1}});
    EXPECT_EQ(2u, atlas.Pages().size());
    EXPECT_EQ(32, atlas.Depth());
}

TEST_F(GateAtlas, FirstFitStartsAtTheCursorAndWrapsRound)
{
    GateTextureAtlas atlas;
    // The first image leaves the strip right of it and the band below it;
    // the cursor is on the band, so the second goes there; the third fits
    // only the strip, found by going round to the head of the list.
    Expect(atlas, {{600, 1000, 0, 0, 0}, {400, 20, 0, 1000, 0}, {400, 400, 600, 0, 0}, {424, 600, 600, 400, 0}});
    EXPECT_EQ(1u, atlas.Pages().size());
}

TEST_F(GateAtlas, RefusesWhatItCannotHold)
{
    GateTextureAtlas atlas;
    const std::vector<std::uint8_t> pixels(1025u * 4u, 0);
    ASSERT_NE(nullptr, atlas.Allocate(2, 2, pixels.data(), 32));
    const struct {
        int width, height, depth;
    } refused[] = {
        {1025, 1, 32}, {1, 1025, 32}, {0, 4, 32}, {4, -1, 32}, // not a page's size
        {2, 2, 24},    {2, 2, 16},                             // another depth than the first image's
        {2, 2, 8},                                             // a depth no page has
    };
    for (const auto& r : refused)
        EXPECT_EQ(nullptr, atlas.Allocate(r.width, r.height, pixels.data(), r.depth))
            << r.width << "x" << r.height << " at " << r.depth;
    EXPECT_EQ(1u, atlas.Pages().size());
    EXPECT_EQ(32, atlas.Depth());

    GateTextureAtlas odd;
    EXPECT_EQ(nullptr, odd.Allocate(2, 2, pixels.data(), 8));
    EXPECT_TRUE(odd.Pages().empty());
    EXPECT_EQ(0, odd.Depth());
}

TEST_F(GateAtlas, ResetForgetsPagesAndDepth)
{
    GateTextureAtlas atlas;
    const std::vector<std::uint8_t> pixels(16u * 16u * 3u, 0);
    ASSERT_NE(nullptr, atlas.Allocate(16, 16, pixels.data(), 24));
    atlas.Reset();
    EXPECT_TRUE(atlas.Pages().empty());
    EXPECT_EQ(0u, atlas.FreeCount());
    const GateAtlasEntry* entry = atlas.Allocate(16, 16, pixels.data(), 16);
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(0, entry->x);
    EXPECT_EQ(16, atlas.Depth());
}
