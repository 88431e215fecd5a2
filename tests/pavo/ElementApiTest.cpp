#include "Lib_cpp/controls/ElementApi.h"
#include "tests/common/FrameWindow.h"

#include "Lib_cpp/core/Window.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "Lib_cpp/image/Image.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/Screen.h"
#include "platform/ui/Window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <vector>

namespace {

// A drawn element that records what reaches it and keeps the text it is
// given through the text properties.
class Leaf : public IxElement {
public:
    explicit Leaf(int id, RECT rc = RECT{0, 0, 10, 10})
    {
        m_nId = id;
        m_rc = rc;
    }
    void Draw(IxPaintRecord*) override {}
    int SetProperty(int id, LPARAM value) override
    {
        properties.push_back(id);
        if (id == 21 || id == 22)
            text = *reinterpret_cast<const IxString*>(value);
        if (id == 28 || id == 29) {
            auto* record = reinterpret_cast<const IxTextPropertyRecord*>(value);
            text = record->text;
            textValue = record->lValue;
        }
        return 7;
    }
    void Move(int left, int top, int nearZ, int right, int bottom, int farZ, BOOL redraw) override
    {
        moves.push_back({left, top, nearZ, right, bottom, farZ, redraw});
        IxElement::Move(left, top, nearZ, right, bottom, farZ, redraw);
    }
    std::vector<int> properties;
    std::vector<std::vector<int>> moves;
    IxString text;
    LPARAM textValue = 0;
};

class Area : public IxView {
public:
    explicit Area(int id, RECT rc = RECT{0, 0, 100, 100})
    {
        m_nId = id;
        m_rc = rc;
    }
};

// Screen 100 with two areas: 10 holds leaf 1, 20 holds leaf 2.
struct Screen {
    Area root{100};
    Area* left = new Area(10);
    Area* right = new Area(20);
    Leaf* one = new Leaf(1);
    Leaf* two = new Leaf(2);
    Screen()
    {
        root.AddChild(left);
        root.AddChild(right);
        left->AddChild(one);
        right->AddChild(two);
    }
};

// An image whose frames are the given state codes; frame sizes by index.
class FakeImage : public IxImage {
public:
    explicit FakeImage(std::set<int> states = {}, int frames = 3) : m_states(std::move(states)), m_frames(frames) {}
    BOOL Draw(IxDC*, const RECT&, const RECT*) override { return FALSE; }
    INT_PTR Query(int what, INT_PTR argument) override
    {
        if (what == IXIQ_HASFRAME)
            return m_states.count(static_cast<int>(argument)) ? 1 : 0;
        if (what == IXIQ_CURFRAME)
            return current;
        if (what == IXIQ_SIZE) {
            *reinterpret_cast<SIZE*>(argument) = SIZE{current == 2 ? 50 : 20, 20};
            return 0;
        }
        return 0;
    }
    BOOL Control(int command, INT_PTR argument) override
    {
        int next = command == IXIC_NEXTFRAME ? (current + 1) % m_frames : static_cast<int>(argument);
        if (command != IXIC_NEXTFRAME && command != IXIC_SETFRAME)
            return FALSE;
        if (next == current)
            return FALSE;
        current = next;
        return TRUE;
    }
    void Destroy() override
    {
        if (destroyed)
            *destroyed = true;
        IxImage::Destroy();
    }
    int current = -1;
    bool* destroyed = nullptr;

private:
    std::set<int> m_states;
    int m_frames;
};

// Restores the drag record so that nothing leaks into the next test.
struct DragRecordScope {
    explicit DragRecordScope(IxDragRecord record) { *IxGetDragRecord() = record; }
    ~DragRecordScope() { *IxGetDragRecord() = IxDragRecord{0, 0, 0, 0}; }
};

bool Same(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

// ---------------------------------------------------------------------------
// Child operations by id

TEST(ElementApiChildTest, MissingIdAnswersZeroAndChangesNothing)
{
    Screen s;
    IxString text(u"abc");
    const LONG refs = text.Data()->m_nRefs;
    const DWORD flags = s.one->GetFlags();

    EXPECT_EQ(SetChildProperty(&s.root, 99, 2, 5), 0);
    EXPECT_EQ(SetChildText(&s.root, 99, text, TRUE), 0);
    EXPECT_EQ(QueryChild(&s.root, 99, 4, nullptr), 0);
    EXPECT_FALSE(ChildHasFlags(&s.root, 99, 0xFFFFFFFF));
    EXPECT_FALSE(ChildLacksFlags(&s.root, 99, 0));
    SetChildVisible(&s.root, 99, FALSE, FALSE);
    SetChildBounds(&s.root, 99, 1, 2, 3, 4, FALSE);
    SetChildBoundsDepth(&s.root, 99, 1, 2, 3, 4, 5, 6, FALSE);
    MoveChildToDepth(&s.root, 99, 1, 2, 3, FALSE);

    EXPECT_EQ(text.Data()->m_nRefs, refs);
    EXPECT_TRUE(s.one->properties.empty());
    EXPECT_TRUE(s.two->properties.empty());
    EXPECT_TRUE(s.one->moves.empty());
    EXPECT_EQ(s.one->GetFlags(), flags);
}

TEST(ElementApiChildTest, TextReferencesAreThoseTheElementKept)
{
    Screen s;
    IxString text(u"Radio");
    const LONG refs = text.Data()->m_nRefs;

    EXPECT_EQ(SetChildText(&s.root, 1, text, TRUE), 7);
    EXPECT_EQ(s.one->properties, std::vector<int>{21});
    EXPECT_EQ(text.Data()->m_nRefs, refs + 1); // the leaf keeps one
    SetChildText(&s.root, 2, text, FALSE);
    EXPECT_EQ(s.two->properties, std::vector<int>{22});
    EXPECT_EQ(text.Data()->m_nRefs, refs + 2);

    s.one->text.Release();
    s.two->text.Release();
    EXPECT_EQ(SetElementText(s.one, text, 42, FALSE), 7);
    EXPECT_EQ(s.one->properties.back(), 29);
    EXPECT_EQ(s.one->textValue, 42);
    EXPECT_EQ(text.Data()->m_nRefs, refs + 1);
    SetElementText(s.two, text, 0, TRUE);
    EXPECT_EQ(s.two->properties.back(), 28);
    EXPECT_EQ(text.Data()->m_nRefs, refs + 2);
}

TEST(ElementApiChildTest, NearestSearchReachesSiblingAreasInsideSearchDoesNot)
{
    Screen s;
    SetChildVisibleInside(s.left, 2, FALSE, FALSE);
    EXPECT_FALSE(s.two->HasFlag(IXF_HIDDEN));
    SetChildMarked(s.left, 2, FALSE, FALSE);
    EXPECT_FALSE(s.two->HasFlag(IXF_MARKED));

    SetChildVisible(s.left, 2, FALSE, FALSE);
    EXPECT_TRUE(s.two->HasFlag(IXF_HIDDEN));
    SetChildVisible(s.left, 2, TRUE, FALSE);
    EXPECT_FALSE(s.two->HasFlag(IXF_HIDDEN));
    SetChildVisibleInside(s.left, 1, FALSE, FALSE);
    EXPECT_TRUE(s.one->HasFlag(IXF_HIDDEN));
}

TEST(ElementApiChildTest, FlagSettersTakeTheirSense)
{
    struct Case {
        void (*set)(IxElement*, int, BOOL, BOOL);
        BOOL arg;
        DWORD flag;
        bool set_after;
    };
    const Case cases[] = {
        {SetChildEnabled, FALSE, IXF_DISABLED, true},     {SetChildEnabled, TRUE, IXF_DISABLED, false},
        {SetChildInputAllowed, FALSE, IXF_NOINPUT, true}, {SetChildPressed, TRUE, IXF_PRESSED, true},
        {SetChildSelected, TRUE, IXF_SELECTED, true},     {SetChildCurrent, TRUE, IXF_CURRENT, true},
        {SetChildMarked, FALSE, IXF_MARKED, true},        {SetChildMarked, TRUE, IXF_MARKED, false},
    };
    for (const Case& c : cases) {
        Screen s;
        if (!c.set_after)
            s.one->SetFlags(c.flag, 0);
        c.set(&s.root, 1, c.arg, FALSE);
        EXPECT_EQ(s.one->HasFlag(c.flag), c.set_after) << std::hex << c.flag << " arg " << c.arg;
        EXPECT_EQ(ChildHasFlags(&s.root, 1, c.flag), c.set_after ? TRUE : FALSE);
        EXPECT_EQ(ChildLacksFlags(&s.root, 1, c.flag), c.set_after ? FALSE : TRUE);
    }
}

TEST(ElementApiChildTest, BoundsAndDepthReachMove)
{
    Screen s;
    SetChildBounds(&s.root, 1, 5, 6, 30, 40, FALSE);
    SetChildBoundsDepth(&s.root, 1, 7, 8, 2, 30, 40, 9, FALSE);
    MoveChildToDepth(&s.root, 1, 1, 1, 4, FALSE);
    MoveChildTo(&s.root, 1, 3, 3, FALSE);
    const std::vector<std::vector<int>> expected
        = {{5, 6, 0, 35, 46, 0, 0}, {7, 8, 2, 37, 48, 11, 0}, {1, 1, 4, 31, 41, 4, 0}, {3, 3, 0, 33, 43, 0, 0}};
    EXPECT_EQ(s.one->moves, expected);
}

// ---------------------------------------------------------------------------
// States and images

TEST(ElementApiStateTest, PickStateValueByFlags)
{
    struct Case {
        DWORD flags;
        LPARAM disabled;
        LPARAM current;
        LPARAM expected;
    };
    // normal 1, pressed 2, selected 4, selected pressed 5.
    const Case cases[] = {
        {IXF_DISABLED | IXF_PRESSED, -1, 6, 2}, // no disabled value: the pressed one
        {IXF_DISABLED | IXF_PRESSED, 3, 6, 3},
        {IXF_NOINPUT, 3, -1, 3},
        {IXF_CURRENT | IXF_SELECTED, -1, 6, 6},
        {IXF_CURRENT | IXF_SELECTED, -1, -1, 4},
        {IXF_SELECTED | IXF_PRESSED, -1, -1, 5},
        {0, 3, 6, 1},
        {IXF_PRESSED, 3, 6, 2},
    };
    for (const Case& c : cases) {
        Leaf leaf(1);
        leaf.SetFlags(c.flags, IXF_LAYOUTPENDING);
        EXPECT_EQ(leaf.PickStateValue(1, 2, c.disabled, 4, 5, c.current), c.expected) << std::hex << c.flags;
    }
    Leaf leaf(1);
    leaf.SetFlags(IXF_PRESSED, 0);
    EXPECT_EQ(leaf.PickStateValue(1, -1, -1, -1, -1, -1), 1);
}

TEST(ElementApiStateTest, PickStateFrameByFlagsAndFrames)
{
    const std::set<int> all = {-20, -19, -18, -17, -16, -15};
    struct Case {
        DWORD flags;
        std::set<int> frames;
        BOOL withCurrent;
        int expected;
    };
    const Case cases[] = {
        {IXF_DISABLED | IXF_PRESSED, all, TRUE, -18},
        {IXF_NOINPUT | IXF_PRESSED, {-20, -19}, TRUE, -19},
        {IXF_CURRENT, all, TRUE, -15},
        {IXF_CURRENT, all, FALSE, -20},
        {IXF_SELECTED | IXF_PRESSED, all, FALSE, -16},
        {IXF_SELECTED | IXF_PRESSED, {-20, -19, -17}, FALSE, -17},
        {IXF_SELECTED | IXF_PRESSED, {-20, -19}, FALSE, -19},
        {IXF_SELECTED, {-20}, FALSE, -20},
        {IXF_PRESSED, {-20}, FALSE, -20},
        {0, {}, TRUE, -20},
    };
    for (const Case& c : cases) {
        Leaf leaf(1);
        leaf.SetFlags(c.flags, IXF_LAYOUTPENDING);
        FakeImage* image = new FakeImage(c.frames);
        EXPECT_EQ(PickStateFrame(&leaf, image, c.withCurrent), c.expected) << std::hex << c.flags;
        image->Release();
    }
}

TEST(ElementApiStateTest, AssignImageRefPassesTheFrameAndReleasesTheOld)
{
    Leaf leaf(1);
    bool firstGone = false;
    bool secondGone = false;
    IxImage* slot = nullptr;

    auto* first = new FakeImage;
    first->destroyed = &firstGone;
    AssignImageRef(&leaf, &slot, first); // empty slot: nothing to release
    EXPECT_EQ(slot, first);
    EXPECT_EQ(first->GetRefCount(), 1);

    auto* second = new FakeImage;
    second->destroyed = &secondGone;
    second->current = 2;
    AssignImageRef(&leaf, &slot, second); // the old image had no frame: frame 0
    EXPECT_TRUE(firstGone);
    EXPECT_EQ(second->current, 0);
    EXPECT_EQ(second->GetRefCount(), 1);

    second->AddRef(); // someone else holds it too
    AssignImageRef(&leaf, &slot, nullptr);
    EXPECT_EQ(slot, nullptr);
    EXPECT_FALSE(secondGone);
    EXPECT_EQ(second->GetRefCount(), 1);
    second->Release();
    EXPECT_TRUE(secondGone);
}

TEST(ElementApiStateTest, FrameChangesRedrawOrRelayout)
{
    Area parent(1);
    auto* leaf = new Leaf(2);
    parent.AddChild(leaf);
    parent.SetFlags(0, IXF_PENDING);
    leaf->SetFlags(0, IXF_PENDING);
    FakeImage* image = new FakeImage({}, 3);
    image->current = 0;

    EXPECT_TRUE(SetImageFrame(leaf, image, -1, FALSE)); // next: 1
    EXPECT_EQ(image->current, 1);
    EXPECT_FALSE(SetImageFrame(leaf, image, 1, TRUE)); // unchanged
    EXPECT_FALSE(SetImageFrameAndLayout(leaf, image, 1, TRUE));

    EXPECT_TRUE(SetImageFrameAndLayout(leaf, image, 0, FALSE)); // same size
    EXPECT_FALSE(leaf->HasFlag(IXF_PENDING));
    EXPECT_TRUE(SetImageFrameAndLayout(leaf, image, 2, FALSE)); // wider
    EXPECT_EQ(leaf->GetFlags() & IXF_PENDING, IXF_UPDATEPENDING);
    EXPECT_FALSE(parent.HasFlag(IXF_PENDING)); // only marked, nothing passed up

    leaf->SetFlags(0, IXF_PENDING);
    EXPECT_TRUE(SetImageFrameAndLayout(leaf, image, -2, TRUE)); // next wraps to 0, narrower
    EXPECT_EQ(image->current, 0);
    EXPECT_TRUE(leaf->HasFlag(IXF_UPDATEPENDING));
    EXPECT_TRUE(parent.HasFlag(IXF_UPDATEPENDING));
    image->Release();
}

TEST(ElementApiStateTest, CreateImageFromParamsKnowsOnlyImageKinds)
{
    Leaf leaf(1);
    IxElementParams params{};
    params.Clear();
    params.nContentKind = IXCONTENT_TEXT;
    params.lContentValue = reinterpret_cast<LPARAM>(u"x");
    EXPECT_EQ(CreateImageFromParams(&leaf, &params), nullptr);

    // Marked elements load on demand: nothing is read here.
    leaf.SetFlags(IXF_MARKED, 0);
    params.nContentKind = IXCONTENT_BITMAPFILE;
    params.lContentValue = reinterpret_cast<LPARAM>(u"\\NAND\\none.bmp");
    params.nContentLength = 3;
    IxImage* image = CreateImageFromParams(&leaf, &params);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Query(IXIQ_FRAMECOUNT, 0), 3);
    image->Release();
}

// ---------------------------------------------------------------------------
// Rectangle and text helpers

TEST(ElementApiRectTest, UnionAndAlign)
{
    RECT r{10, 10, 20, 20};
    UnionRect(&r, RECT{5, 12, 15, 30});
    EXPECT_TRUE(Same(r, RECT{5, 10, 20, 30}));

    Leaf leaf(1, RECT{0, 0, 100, 50});
    leaf.SetFlags(IXF_HCENTER | IXF_VEND, 0);
    RECT out;
    AlignRectIn(&leaf, RECT{10, 10, 50, 30}, 20, 10, &out);
    EXPECT_TRUE(Same(out, RECT{20, 20, 40, 30}));
    AlignRectIn(&leaf, RECT{10, 10, 50, 30}, 60, 30, &out); // too wide: start; too tall: above
    EXPECT_TRUE(Same(out, RECT{10, 0, 70, 30}));
}

TEST(ElementApiRectTest, SplitScrollRects)
{
    struct Case {
        int dx, dy;
        RECT first, second;
    };
    const Case cases[] = {
        {0, 0, {0, 0, 100, 50}, {0, 0, 100, 50}},   {10, 0, {0, 0, 90, 50}, {10, 0, 100, 50}},
        {-10, 0, {10, 0, 100, 50}, {0, 0, 90, 50}}, {0, 5, {0, 0, 100, 45}, {0, 5, 100, 50}},
        {0, -5, {0, 5, 100, 50}, {0, 0, 100, 45}},  {-10, 5, {10, 0, 100, 45}, {0, 5, 90, 50}},
    };
    Leaf leaf(1, RECT{30, 30, 130, 80});
    for (const Case& c : cases) {
        RECT first, second;
        SplitScrollRects(&leaf, c.dx, c.dy, &first, &second);
        EXPECT_TRUE(Same(first, c.first)) << c.dx << "," << c.dy;
        EXPECT_TRUE(Same(second, c.second)) << c.dx << "," << c.dy;
        // Both parts have the same size: the content that stays visible.
        EXPECT_EQ(first.right - first.left, second.right - second.left);
        EXPECT_EQ(first.bottom - first.top, second.bottom - second.top);
    }
}

TEST(ElementApiRectTest, FollowDragImage)
{
    struct Case {
        IxDragRecord record;
        RECT rect;
        POINT point;
        RECT expected;
    };
    const Case cases[] = {
        {{10, 5, 40, 20}, {0, 0, 40, 20}, {100, 50}, {90, 45, 130, 65}}, // same size: the grab offset
        {{10, 5, 40, 20}, {0, 0, 80, 10}, {100, 50}, {80, 47, 160, 57}}, // scaled: 20 and 2.5 -> 3
        {{10, 5, 0, 20}, {1, 2, 41, 22}, {100, 50}, {1, 2, 41, 22}},     // no recorded width: nothing
        {{10, 5, 40, 0}, {1, 2, 41, 22}, {100, 50}, {1, 2, 41, 22}},
    };
    for (const Case& c : cases) {
        DragRecordScope scope(c.record);
        RECT r = c.rect;
        FollowDragImage(&r, c.point);
        EXPECT_TRUE(Same(r, c.expected)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

TEST(ElementApiRectTest, ZoomRectAt)
{
    struct Case {
        RECT rect;
        POINT point;
        SIZE size;
        RECT expected;
    };
    const Case cases[] = {
        {{0, 0, 100, 50}, {50, 25}, {100, 50}, {0, 0, 100, 50}},      // same size
        {{0, 0, 100, 50}, {50, 25}, {200, 100}, {-50, -25, 150, 75}}, // about the centre
        {{0, 0, 100, 50}, {0, 0}, {200, 100}, {0, 0, 200, 100}},      // corner stays
        {{0, 0, 100, 50}, {100, 50}, {50, 25}, {50, 25, 100, 50}},    // far edge stays (inside)
        {{0, 0, 100, 50}, {150, 25}, {200, 100}, {0, 0, 200, 100}},   // outside: left and top stay
        {{0, 0, 100, 50}, {50, 25}, {0, 100}, {0, -25, 100, 75}},     // width 0: old extent
        {{0, 0, 100, 50}, {25, 10}, {100, 80}, {0, -6, 100, 74}},     // one axis: 10 * 80 / 50 = 16
    };
    for (const Case& c : cases) {
        RECT out;
        ZoomRectAt(c.rect, c.point, c.size, &out);
        EXPECT_TRUE(Same(out, c.expected)) << out.left << "," << out.top << "," << out.right << "," << out.bottom;
    }
}

TEST(ElementApiTextTest, CopyTextWithAdvances)
{
    IxArray<WCHAR> chars;
    IxArray<int> advances;
    ASSERT_TRUE(CopyTextWithAdvances(&chars, &advances, u"Wren", 4));
    EXPECT_EQ(chars.Count(), 4);
    EXPECT_EQ(advances.Count(), 4);
    EXPECT_EQ(std::memcmp(chars.Data(), u"Wren", 4 * sizeof(WCHAR)), 0);

    EXPECT_FALSE(CopyTextWithAdvances(&chars, &advances, u"", 0));
    EXPECT_EQ(chars.Count(), 0);
    EXPECT_EQ(advances.Count(), 0);
}

namespace {

// A white 32-bit canvas with a font selected.
struct Canvas {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    HFONT font = nullptr;
    HGDIOBJ oldFont = nullptr;
    BYTE* bits = nullptr;
    static constexpr int kWidth = 200;
    static constexpr int kHeight = 40;

    Canvas()
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<BYTE*>(p);
        oldBitmap = SelectObject(dc, bitmap);
        if (bits)
            std::memset(bits, 0xFF, kWidth * kHeight * 4);
        LOGFONTW lf{};
        lf.lfHeight = -20;
        std::memcpy(lf.lfFaceName, u"NanumGothic", sizeof(u"NanumGothic"));
        font = CreateFontIndirectW(&lf);
        oldFont = SelectObject(dc, font);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
    }
    ~Canvas()
    {
        SelectObject(dc, oldFont);
        DeleteObject(font);
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    std::vector<BYTE> Pixels() const { return std::vector<BYTE>(bits, bits + kWidth * kHeight * 4); }
    bool InkBetween(int x0, int x1) const
    {
        for (int y = 0; y < kHeight; ++y)
            for (int x = x0; x < x1; ++x)
                if (bits[(y * kWidth + x) * 4] != 0xFF)
                    return true;
        return false;
    }
};

} // namespace

TEST(ElementApiTextTest, DrawVisibleTextDrawsOnlyTheVisibleRun)
{
    const WCHAR text[] = u"ABCDEFGHIJ";
    const int advances[] = {15, 15, 15, 15, 15, 15, 15, 15, 15, 15};
    // Pen at 10: A 10..25, B 25..40, C 40..55, ... J 145..160. Clip 41..100:
    // A and B end left of 41, C .. F start left of 100 (F at 85), G at 100 does not.
    Canvas drawn;
    ASSERT_NE(drawn.bits, nullptr);
    EXPECT_EQ(DrawVisibleText(drawn.dc, 10, 30, 41, 100, text, 10, advances), 4);
    Canvas expected;
    ExtTextOutW(expected.dc, 40, 30, 0, nullptr, text + 2, 4, advances + 2);
    EXPECT_TRUE(expected.InkBetween(40, 100));
    EXPECT_EQ(drawn.Pixels(), expected.Pixels());
    EXPECT_FALSE(drawn.InkBetween(0, 38));
    EXPECT_FALSE(drawn.InkBetween(101, Canvas::kWidth));

    Canvas none;
    EXPECT_EQ(DrawVisibleText(none.dc, 10, 30, 500, 600, text, 10, advances), 0);
    EXPECT_FALSE(none.InkBetween(0, Canvas::kWidth));
}

// ---------------------------------------------------------------------------
// Kernel services: layers, popups, drags, events

namespace {

class Owner : public IxView {
public:
    explicit Owner(int id, RECT rc = RECT{0, 0, 100, 100})
    {
        m_nId = id;
        m_rc = rc;
    }
    int ActionIsInvoked(int code, int kind, LPARAM value) override
    {
        actions.push_back({code, kind, static_cast<int>(value)});
        return 1;
    }
    std::vector<std::vector<int>> actions;
};

class ElementApiKernelTest : public frametest::FrameWindowTest {
protected:
    void SetUp() override
    {
        FrameWindowTest::SetUp();
        kernel = IxGetKernel();
        ASSERT_NE(kernel, nullptr);
    }
    int PriorityOf(int viewId) const
    {
        const IxArray<IxLayerEntry>& layers = frame->Layers();
        for (int i = 0; i < layers.Count(); ++i)
            if (layers[i].pView->GetId() == viewId)
                return layers[i].nPriority;
        return 0;
    }

    // The window goes in TearDown, while the owners still live.
    Owner owner{50};
    Owner other{51};
    IxKernel* kernel = nullptr;
};

} // namespace

TEST_F(ElementApiKernelTest, TopLayerPrioritiesAndOwnerFlag)
{
    PushTopLayer(&owner, new Area(301), 3, FALSE);
    PushTopLayer(&owner, new Area(302), -3, FALSE);
    PushTopLayer(nullptr, new Area(303), 0, TRUE);
    EXPECT_EQ(PriorityOf(301), 0x7fffffa5 - 3);
    EXPECT_EQ(PriorityOf(302), -(0x7fffffa5 - 3));
    EXPECT_EQ(PriorityOf(303), -0x7fffffa5);
    EXPECT_TRUE(owner.HasFlag(IXF_OWNSLAYER));

    PushLayer(&other, new Area(304), 7, TRUE); // without owner: unmarked, the frame owns the view
    EXPECT_EQ(PriorityOf(304), 7);
    EXPECT_FALSE(other.HasFlag(IXF_OWNSLAYER));

    EXPECT_TRUE(IsLayerShown(302));
    EXPECT_TRUE(IsLayerShown(0));
    PopLayer(302);
    EXPECT_FALSE(IsLayerShown(302));
    EXPECT_TRUE(owner.HasFlag(IXF_OWNSLAYER)); // still owns 301
    PopLayer(301);
    EXPECT_FALSE(owner.HasFlag(IXF_OWNSLAYER));
}

TEST_F(ElementApiKernelTest, SecondPopupIsRefused)
{
    auto* first = new Area(401, RECT{0, 0, 200, 100});
    EXPECT_EQ(ShowPopup(&owner, first, FALSE), 1);
    EXPECT_TRUE(owner.HasFlag(IXF_OWNSLAYER));
    RECT rc;
    first->GetRect(&rc);
    EXPECT_TRUE(Same(rc, RECT{300, 190, 500, 290})); // centred, size kept
    EXPECT_EQ(PriorityOf(401), IXLAYER_POPUP);

    Area second(402, RECT{0, 0, 10, 10});
    EXPECT_EQ(ShowPopup(&other, &second, FALSE), 0);
    EXPECT_FALSE(other.HasFlag(IXF_OWNSLAYER));
    EXPECT_FALSE(IsLayerShown(402));

    ClosePopup();
    EXPECT_FALSE(IsLayerShown(401));
    EXPECT_EQ(ShowPopup(&owner, new Area(403), TRUE), 1);
    EXPECT_TRUE(IsLayerShown(403));
}

TEST_F(ElementApiKernelTest, LayersAtOwnerAndDragImageUseRootCoordinates)
{
    auto* holder = new Area(60, RECT{100, 50, 400, 300});
    frame->AddChild(holder);
    auto* inner = new Owner(61, RECT{20, 10, 120, 110});
    holder->AddChild(inner);

    auto* view = new Area(501, RECT{5, 5, 45, 25});
    PushLayerAtOwner(inner, view, 9, FALSE);
    RECT rc;
    view->GetRect(&rc);
    EXPECT_TRUE(Same(rc, RECT{125, 65, 165, 85}));
    EXPECT_TRUE(inner->HasFlag(IXF_OWNSLAYER));

    auto* drag = new Area(502, RECT{10, 20, 50, 40});
    StartDragImage(inner, drag, POINT{15, 30});
    const IxDragRecord record = *IxGetDragRecord();
    DragRecordScope reset(IxDragRecord{0, 0, 0, 0});
    EXPECT_EQ(record.nGrabX, 5);
    EXPECT_EQ(record.nGrabY, 10);
    EXPECT_EQ(record.nWidth, 40);
    EXPECT_EQ(record.nHeight, 20);
    EXPECT_EQ(PriorityOf(502), IXLAYER_DRAG);
    EXPECT_EQ(GetDragImageRect(inner, &rc), 502);
    EXPECT_TRUE(Same(rc, RECT{10, 20, 50, 40})); // back in the owner's coordinates
    EXPECT_EQ(GetDragImageRect(nullptr, &rc), 502);
    EXPECT_TRUE(Same(rc, RECT{130, 80, 170, 100}));

    StartDragImage(inner, nullptr, POINT{0, 0}); // nothing
    EXPECT_EQ(PriorityOf(502), IXLAYER_DRAG);
    PopLayer(502);
    EXPECT_EQ(GetDragImageRect(inner, &rc), -1);
    EXPECT_TRUE(Same(rc, RECT{0, 0, 0, 0}));
    EXPECT_FALSE(IsDragSource(inner));
    EXPECT_FALSE(IsDropOnSource());
    PopLayer(501);
}

TEST_F(ElementApiKernelTest, DragOwnerRecord)
{
    IxKeyedRecord* record = RecordDragOwner(&owner);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->nElementId, 50);
    record->first.Add(3);
    EXPECT_EQ(RecordDragOwner(&other), record);
    EXPECT_EQ(record->nElementId, 51);
    EXPECT_EQ(record->first.Count(), 0);
    ForgetDragOwner();
    EXPECT_EQ(kernel->GetRecord(0, FALSE), nullptr);
}

TEST_F(ElementApiKernelTest, ScreenEventsAndDeferredPop)
{
    ASSERT_TRUE(kernel->Subscribe(310, &owner));
    ASSERT_TRUE(kernel->Subscribe(312, &owner));
    BroadcastViewEntered(5202);
    BroadcastViewLeft(5101);
    const std::vector<std::vector<int>> expected = {{310, AEV_PRESS, 5202}, {312, AEV_PRESS, 5101}};
    EXPECT_EQ(owner.actions, expected);

    frame->GetQueue().Clear();
    PostBackCommand(5202);
    PostCloseView(5203);
    IxRingEntry entry{};
    ASSERT_TRUE(frame->GetQueue().Pop(&entry));
    EXPECT_EQ(entry.dwAction, IxActionWord(IXA_BACK, AEV_DEFAULT));
    EXPECT_EQ(entry.lValue, 5202);
    ASSERT_TRUE(frame->GetQueue().Pop(&entry));
    EXPECT_EQ(entry.dwAction, IxActionWord(IXA_CLOSEVIEW, AEV_DEFAULT));
    EXPECT_EQ(entry.lValue, 5203);

    PushLayer(&owner, new Area(601), 5, FALSE);
    PopLayerLater(601);
    EXPECT_TRUE(kernel->HasDeferredWork());
    EXPECT_TRUE(IsLayerShown(601));
    frame->FlushDeferredWork();
    EXPECT_FALSE(IsLayerShown(601));

    IxKernel::MarkUpdateAll(nullptr);
    EXPECT_TRUE(kernel->IsInvalidateAllRequested());
    EXPECT_TRUE(kernel->HasDeferredWork());
    kernel->TakeInvalidateAll();
    kernel->TakeDeferredWork();
}

TEST_F(ElementApiKernelTest, ScrollWindowRectMovesThePartThatStaysAndAnswersTheStrip)
{
    auto* holder = new Area(70, RECT{100, 50, 400, 300});
    frame->AddChild(holder);
    Pump();
    const std::uint16_t white = platform::Rgb565(255, 255, 255);
    const std::uint16_t red = platform::Rgb565(255, 0, 0);
    auto paint = [&](RECT marker) {
        HDC dc = GetDC(hwnd);
        RECT area{100, 50, 200, 90};
        HBRUSH whiteBrush = CreateSolidBrush(RGB(255, 255, 255));
        HBRUSH redBrush = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dc, &area, whiteBrush);
        FillRect(dc, &marker, redBrush);
        DeleteObject(whiteBrush);
        DeleteObject(redBrush);
        ReleaseDC(hwnd, dc);
    };
    auto at = [](int x, int y) { return platform::Screen::Get().Pixel(x, y); };

    // A red column at x 110: the part left of 180 moves right by 20.
    paint(RECT{110, 50, 112, 90});
    RECT rc{0, 0, 100, 40};
    ScrollWindowRectH(holder, hwnd, &rc, 20);
    EXPECT_TRUE(Same(rc, RECT{100, 50, 120, 90}));
    EXPECT_EQ(at(130, 70), red);
    EXPECT_EQ(at(140, 70), white);

    // A red row at y 70: the part below 60 moves up by 10.
    paint(RECT{100, 70, 200, 72});
    rc = RECT{0, 0, 100, 40};
    ScrollWindowRectV(holder, hwnd, &rc, -10);
    EXPECT_TRUE(Same(rc, RECT{100, 80, 200, 90}));
    EXPECT_EQ(at(150, 60), red);
    EXPECT_EQ(at(150, 70), white);

    // Nothing stays: nothing moves, the whole width is uncovered.
    rc = RECT{0, 0, 100, 40};
    ScrollWindowRectH(holder, hwnd, &rc, -100);
    EXPECT_TRUE(Same(rc, RECT{100, 50, 200, 90}));
}
