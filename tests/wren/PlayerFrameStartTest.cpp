// Wren's kernel frame and its creation step: the unit's fonts in the font
// table and the slots of the global index array (their sharing), the
// preloaded bitmaps in their order, the pages in their order with the start
// tick between the eighth and the ninth, CKernelObj as the hook and the
// kernel's tuning.
#include "Source/shell/PlayerFrame.h"

#include "Lib_cpp/controls/ImageElement.h"
#include "Source/models/UnitLink.h"
#include "Source/shell/KernelObj.h"
#include "Source/shell/ShellIds.h"
#include "Source/shell/StartupLists.h"
#include "sim/Micom.h"
#include "tests/wren/ModelFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace modeltest;

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kInk = RGB(19, 21, 24);
constexpr DWORD AA = IXFS_ANTIALIAS;

struct Canvas {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 4, 4);
    HGDIOBJ old = SelectObject(dc, bitmap);
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

class UnitFonts : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::fill(std::begin(slots), std::end(slots), -1);
        FillUnitFonts(table, slots);
    }
    const IxFontEntry& Row(int slot) { return *table.At(slots[slot]); }

    IxFontTable table;
    int slots[kFontSlots];
};

TEST_F(UnitFonts, EverySlotHoldsItsFont)
{
    struct Case {
        int slot;
        int height;
        DWORD style;
        COLORREF colour;
    };
    const Case cases[] = {
        {0, 11, AA, kBlack},
        {26, 11, AA, kWhite},
        {27, 11, AA, kYellow},
        {28, 12, AA, kWhite},
        {30, 14, AA, kYellow},
        {33, 16, AA | IXFS_BOLD, kWhite},
        {39, 18, AA, RGB(208, 208, 208)},
        {43, 19, 0, kWhite},
        {47, 19, 0, kYellow},
        {50, 20, AA, kInk},
        {58, 22, AA, RGB(199, 199, 199)},
        {59, 23, AA, kWhite},
        {63, 24, AA, RGB(253, 255, 189)},
        {64, 24, AA, RGB(64, 64, 64)},
        {66, 26, AA, kInk},
        {86, 26, IXFS_STORED, kWhite},
        {73, 30, AA, RGB(216, 216, 216)},
        {34, 31, AA, kBlack},
        {35, 31, AA, kWhite},
        {76, 34, AA, kBlack},
        {83, 74, AA, kBlack},
        {85, 80, AA, kWhite},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slot);
        ASSERT_GE(slots[c.slot], 0);
        const IxFontEntry& row = Row(c.slot);
        EXPECT_EQ(row.nSize, -c.height);
        EXPECT_EQ(row.dwStyle, c.style);
        EXPECT_EQ(row.crText, c.colour);
        EXPECT_EQ(std::u16string(row.FaceText()), u"코르반 AVN_End");
    }
    // Slots 1 ... 25 are not filled; every font has a row of its own.
    for (int slot = 1; slot <= 25; ++slot)
        EXPECT_EQ(slots[slot], -1) << slot;
    EXPECT_EQ(table.Count(), kUnitFontCount);
    // In their order of creation: 0 first, 26 second, 86 after 66, 85 last.
    EXPECT_EQ(slots[0], 0);
    EXPECT_EQ(slots[26], 1);
    EXPECT_EQ(slots[86], slots[66] + 1);
    EXPECT_EQ(slots[85], kUnitFontCount - 1);
}

TEST_F(UnitFonts, EqualRequestsShareARowOfTheSameColourAndTheRealisedFontWhateverTheColour)
{
    static IX_STATIC_STRING(face, u"코르반 AVN_End");
    struct Case {
        const char* name;
        int height;
        DWORD style;
        COLORREF colour;
        int sharesSlot; // -1: a new row
    };
    const Case cases[] = {
        {"black 11 as slot 0", 11, AA, kBlack, 0},        {"white 11 as slot 26, not slot 0", 11, AA, kWhite, 26},
        {"plain white 19 as slot 43", 19, 0, kWhite, 43}, {"plain white 26: slot 86 never shares", 26, 0, kWhite, -1},
        {"red 11: no such font", 11, AA, kRed, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int count = table.Count();
        const int row = table.AddUnique(IxFontEntry{c.style, -c.height, &face, c.colour, nullptr});
        if (c.sharesSlot >= 0) {
            EXPECT_EQ(row, slots[c.sharesSlot]);
            EXPECT_EQ(table.Count(), count);
        } else {
            EXPECT_EQ(row, count);
        }
    }
    Canvas canvas;
    HFONT black11 = table.Realise(slots[0], canvas.dc);
    ASSERT_NE(black11, nullptr);
    EXPECT_EQ(table.Realise(slots[26], canvas.dc), black11);
    EXPECT_EQ(table.Realise(slots[27], canvas.dc), black11);
    EXPECT_NE(table.Realise(slots[28], canvas.dc), black11);
    EXPECT_NE(table.Realise(slots[86], canvas.dc), table.Realise(slots[43], canvas.dc));
    table.ReleaseAll();
}

TEST(PreloadList, HoldsTheIndicatorAndOverlayBitmapsInOrder)
{
    IxStringArray list;
    ASSERT_TRUE(BuildPreloadList(&list));
    ASSERT_EQ(list.Count(), kPreloadCount);
    const struct {
        int index;
        const char16_t* path;
    } cases[] = {
        {0, u"\\NAND\\Wren\\Images\\Basic\\tindi_bg.bmp"},
        {14, u"\\NAND\\Wren\\Images\\Basic\\right_btn_basic_5.bmp"},
        {15, u"\\NAND\\Wren\\Images\\Multi media\\top_bar_bg.bmp"},
        {20, u"\\NAND\\Wren\\Images\\Multi media\\audio_play list_bg.bmp"},
        {22, u"\\NAND\\Wren\\Images\\PIP\\pip_title_fm1.bmp"},
        {48, u"\\NAND\\Wren\\Images\\PIP\\pip_center line.bmp"},
        {51, u"\\NAND\\Wren\\Images\\PIP\\pip_audio_sub_bg.bmp"},
        {59, u"\\NAND\\Wren\\Images\\PIP\\pip_audio_sub_bg.bmp"},
        {66, u"\\NAND\\Wren\\Images\\PIP\\pip_dvd_cdicon.bmp"},
        {67, u"\\NAND\\Wren\\Images\\DMB_DAB\\broad_ch_up_all.bmp"},
        {68, u"\\NAND\\Wren\\Images\\DMB_DAB\\broad_ch_down_all.bmp"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::u16string(list[c.index].Text()), c.path) << c.index;
}

// The frame with the pages it is asked for recorded; each page's
// construction takes 10 ms on the manual clock. The built screens are
// stood in for by empty views.
class TestFrame : public CPlayerFrame {
public:
    using CPlayerFrame::CPlayerFrame;
    static inline std::vector<int> asked;
    static inline std::vector<int> built;
    static inline platform::ManualClock* clock = nullptr;
    IxElement* NewPage(int viewId) override
    {
        asked.push_back(viewId);
        clock->Advance(10);
        if (std::find(built.begin(), built.end(), viewId) == built.end())
            return nullptr;
        auto* page = new IxView;
        page->SetId(viewId);
        return page;
    }
    IxElement* DefaultPage(int viewId) { return CPlayerFrame::NewPage(viewId); }
};

class TestWnd : public IxFrameWnd {
protected:
    IxKernelFrame* NewKernelFrame(HINSTANCE instance) override { return new TestFrame(instance, this); }
};

constexpr const WCHAR* kClass = u"PlayerFrameStartClass";

class PlayerFrameStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        clock.SetSleepAdvances(true);
        ASSERT_TRUE(unit.IsOpen());
        micom = sim::CMicom::Install();
        GetUnitLink().OpenDevices();
        TestFrame::clock = &clock;
        TestFrame::asked.clear();
        TestFrame::built = {FID_GATE, FID_MUSIC, FID_BLUETOOTH, FID_DMB, FID_NAVISTART};
        start = GetTickCount();
        window = frametest::OpenFrameWindow<TestWnd>(kClass);
        ASSERT_NE(window, nullptr);
        frame = static_cast<TestFrame*>(window->GetKernelFrame());
        ASSERT_NE(frame, nullptr);
    }
    void TearDown() override
    {
        HWND hwnd = window ? window->GetHandle() : nullptr;
        // The application's main window: its object goes with the window.
        frametest::CloseFrameWindow(hwnd, kClass);
        GetUnitLink().CloseDevices();
        GetUnitLink().ResetStates();
        sim::CMicom::Uninstall();
    }

    platform::ManualClock clock;
    TempUnit unit{"wren-playerframe"};
    TestApp app{kClass};
    std::shared_ptr<sim::CMicom> micom;
    TestWnd* window = nullptr;
    TestFrame* frame = nullptr;
    DWORD start = 0;
};

TEST_F(PlayerFrameStart, CreatesThePagesInOrderSkippingTheScreensNotBuilt)
{
    const std::vector<int> order{3101,  5202,  5205,  5102,  5103,  5104,  5321,  5361,  5218,
                                 5219,  5341,  10044, 10041, 10046, 10047, 10045, 10410, 5301,
                                 10057, 10058, 10060, 10056, 9001,  10401, 9000,  10042, 10043};
    EXPECT_EQ(TestFrame::asked, order);
    std::vector<int> pages;
    for (IxListNode* node = frame->Pages().Head(); node; node = node->m_pNext)
        pages.push_back(IxElement::FromNode(node)->GetId());
    EXPECT_EQ(pages, (std::vector<int>{FID_GATE, FID_MUSIC, FID_BLUETOOTH, FID_DMB, FID_NAVISTART}));
    // Taken after the eighth page (5361), before the ninth (5218).
    EXPECT_EQ(CPlayerFrame::GetStartTick(), start + 80);
}

TEST_F(PlayerFrameStart, MakesCKernelObjTheHookAndTunesTheKernel)
{
    auto* core = dynamic_cast<CKernelObj*>(frame->GetHook());
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(CKernelObj::GetInstance(), core);
    EXPECT_EQ(core->GetKernelFrame(), frame);
    EXPECT_EQ(frame->GestureConstants().nStartThreshold, 15);
    EXPECT_EQ(frame->GetKernel()->GetRepeatPeriod(), 200);
    // A message stamped 700 ms ago is not too old; 701 ms is.
    app.SetLastMessageTime(GetTickCount() - 700);
    EXPECT_FALSE(frame->IsBusy(0));
    app.SetLastMessageTime(GetTickCount() - 701);
    EXPECT_TRUE(frame->IsBusy(0));
    // The font table and the index array.
    EXPECT_EQ(frame->GetFontTable().Count(), kUnitFontCount);
    EXPECT_EQ(g_nFontIndex[85], kUnitFontCount - 1);
}

TEST_F(PlayerFrameStart, NavigationStartPictureIsAnImagePageAndUnbuiltScreensAreLeftOut)
{
    IxElement* picture = frame->DefaultPage(FID_NAVISTART);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->GetId(), FID_NAVISTART);
    auto* image = dynamic_cast<IxImageElement*>(picture);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(image->GetImage(), nullptr);
    EXPECT_EQ(picture->Width(), 800);
    EXPECT_EQ(picture->Height(), 480);
    delete picture;
    IxElement* intro = frame->DefaultPage(FID_INTRO);
    ASSERT_NE(intro, nullptr);
    EXPECT_EQ(intro->GetId(), FID_INTRO);
    delete intro;
    for (int view : {5202, 10042})
        EXPECT_EQ(frame->DefaultPage(view), nullptr) << view;
}

} // namespace
