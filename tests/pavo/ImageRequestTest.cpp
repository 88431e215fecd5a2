// The asynchronous image request: the newest request wins, results reach
// only a live request, cancelling never stops a thread, and the view
// utilities (event lists, brush holder).
#include "Lib_cpp/controls/ImageRequest.h"
#include "Lib_cpp/controls/ImageElement.h"
#include "Lib_cpp/controls/PathImage.h"
#include "Lib_cpp/controls/View.h"
#include "Lib_cpp/core/App.h"
#include "Lib_cpp/image/Image.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Lib_cpp/kernel/ServiceCodes.h"
#include "platform/base/Clock.h"
#include "tests/common/FrameWindow.h"
#include "tests/common/GatedDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace frametest;

constexpr WORD kNotifyId = 610;
constexpr DWORD kJoinMs = 20000; // a limit only: a broken build must not hang

class TestApp : public IxApp {
public:
    TestApp() : IxApp(u"ImageRequestTestClass") {}
    HWND InitInstance() override { return nullptr; }
};

// A row's cover as a view shows it: the view owns the request, starts it for
// the row it scrolled to and shows what arrives.
class CoverView : public IxImageElement {
public:
    explicit CoverView(IxImageDecoder* decoder) : request(kNotifyId, decoder)
    {
        IxGetKernel()->AddListener(filter, this);
    }
    ~CoverView() override { IxGetKernel()->RemoveListener(filter, this); }
    void ScrollTo(int row)
    {
        std::u16string text(u"\\HDD\\Covers\\row");
        text.append(platform::FromUtf8(std::to_string(row))).append(u".jpg");
        IxString path(text.c_str());
        ASSERT_TRUE(StartImageRequest(&request, &path, 100 + row, 50));
    }
    int ActionIsInvoked(int code, int kind, LPARAM value) override
    {
        if (code != kNotifyId || kind != AEV_DEFAULT)
            return 0;
        ++finishes;
        if (value == reinterpret_cast<LPARAM>(&request)) {
            int words[2] = {-1, -1};
            IxImage* image = TakeImageResult(&request, words);
            shownWords = {words[0], words[1]};
            SetImage(image, FALSE);
        }
        return 1;
    }
    std::string ShownSource() const
    {
        auto* counted = dynamic_cast<CountedImage*>(m_pImage);
        return counted ? counted->source : std::string();
    }

    DWORD filter[2] = {IxActionWord(kNotifyId, 0), 0};
    IxImageRequest request;
    int finishes = 0;
    std::vector<int> shownWords;
};

class ImageRequestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CountedImage::live = 0;
        window = OpenFrameWindow(u"ImageRequestTestClass");
        ASSERT_NE(window, nullptr);
        hwnd = window->GetHandle();
    }
    void TearDown() override
    {
        decoder.Open();
        EXPECT_TRUE(IxImageJob::WaitAll(kJoinMs));
        Pump();
        CloseFrameWindow(hwnd, u"ImageRequestTestClass");
        EXPECT_EQ(CountedImage::live, 0);
    }
    void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    // Every job has ended and whatever they posted is handled.
    void Settle()
    {
        ASSERT_TRUE(IxImageJob::WaitAll(kJoinMs));
        Pump();
    }

    TestApp app;
    IxFrameWnd* window = nullptr;
    HWND hwnd = nullptr;
    GatedDecoder decoder;
};

TEST_F(ImageRequestTest, ABurstFromAScrollingListDeliversTheNewestRowOnly)
{
    CoverView view(&decoder);
    decoder.Close();
    for (int row = 0; row < 100; ++row)
        view.ScrollTo(row);
    decoder.Open();
    Settle();

    EXPECT_EQ(view.finishes, 1);
    EXPECT_EQ(view.ShownSource(), "\\HDD\\Covers\\row99.jpg");
    EXPECT_EQ(view.shownWords, (std::vector<int>{1199, 1050}));
    // The newest was decoded; whatever an older job decoded before it was
    // abandoned has been thrown away: only the shown picture lives.
    const std::vector<std::string> entered = decoder.Entered();
    EXPECT_EQ(std::count(entered.begin(), entered.end(), "\\HDD\\Covers\\row99.jpg"), 1);
    EXPECT_EQ(CountedImage::live, 1);
    EXPECT_EQ(TakeImageResult(&view.request, nullptr), nullptr);
}

TEST_F(ImageRequestTest, TwoStartsDeliverTheSecondAndReleaseTheFirst)
{
    IxImageRequest request(kNotifyId, &decoder);
    decoder.Close();
    IxString first(u"first"), second(u"second");
    ASSERT_TRUE(StartImageRequest(&request, &first, 10, 10));
    ASSERT_TRUE(decoder.WaitEntered(1)); // the first job is decoding
    ASSERT_TRUE(StartImageRequest(&request, &second, 20, 20));
    decoder.Open();
    Settle();

    int words[2] = {};
    IxImage* image = TakeImageResult(&request, words);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(static_cast<CountedImage*>(image)->source, "second");
    EXPECT_EQ(words[0], 1020);
    EXPECT_EQ(CountedImage::live, 1);
    image->Release();
    EXPECT_EQ(TakeImageResult(&request, words), nullptr);
}

TEST_F(ImageRequestTest, ANullPathDecodesTheEmptyPath)
{
    IxImageRequest request(kNotifyId, &decoder);
    ASSERT_TRUE(StartImageRequest(&request, nullptr, 5, 5));
    Settle();
    EXPECT_EQ(decoder.Entered(), (std::vector<std::string>{""}));
    IxImage* image = TakeImageResult(&request, nullptr);
    ASSERT_NE(image, nullptr);
    image->Release();
}

TEST_F(ImageRequestTest, CancelAbandonsTheJobWithoutStoppingItsThread)
{
    platform::ManualClock clock;
    CoverView view(&decoder);
    ActivateRequest(&view.request);
    EXPECT_TRUE(view.request.IsActive());
    decoder.Close();
    view.ScrollTo(3);
    ASSERT_TRUE(decoder.WaitEntered(1));

    // Cancelling returns while the worker is still inside its decode.
    CancelRequest(&view.request);
    EXPECT_FALSE(view.request.IsActive());
    EXPECT_FALSE(view.request.HasJob());
    EXPECT_EQ(IxImageJob::RunningCount(), 1);
    // A join with no time left reports the job still running.
    EXPECT_FALSE(IxImageJob::WaitAll(0));

    decoder.Open();
    Settle();
    EXPECT_EQ(view.finishes, 0);
    EXPECT_EQ(CountedImage::live, 0); // the abandoned job threw its image away
}

TEST_F(ImageRequestTest, DestroyingTheRequestWithADecodeInFlightPostsNothing)
{
    CoverView listener(&decoder); // hears every finish of the id
    decoder.Close();
    {
        IxImageRequest request(kNotifyId, &decoder);
        IxString path(u"gone");
        ASSERT_TRUE(StartImageRequest(&request, &path, 1, 1));
        ASSERT_TRUE(decoder.WaitEntered(1));
    }
    decoder.Open();
    Settle();
    EXPECT_EQ(listener.finishes, 0);
    EXPECT_EQ(CountedImage::live, 0);
}

TEST_F(ImageRequestTest, DestroyingViewsWithDecodesInFlightIsClean)
{
    // Free-running workers racing the destruction at every point of their
    // run: the sanitizer builds check that none touches a freed request.
    for (int i = 0; i < 1000; ++i) {
        IxImageRequest request(kNotifyId, &decoder);
        IxString path(u"loop");
        ASSERT_TRUE(StartImageRequest(&request, &path, 1, 1));
        if (i % 2) {
            ASSERT_TRUE(StartImageRequest(&request, &path, 2, 2));
        }
    }
    Settle();
    // A job that finished before its request went may have posted; nothing
    // it decoded outlives the request.
    EXPECT_EQ(IxImageJob::RunningCount(), 0);
    EXPECT_EQ(CountedImage::live, 0);
}

// ---------------------------------------------------------------------------
// Utilities

struct MatchCase {
    int id;
    int code;
    BOOL match;
};

TEST(ViewUtilities, MatchesEventList)
{
    // {id 7, any code}, {id 0, code 4100}, {id 9, code 4096}
    const DWORD list[] = {IxActionWord(7, 0), IxActionWord(0, 4100), IxActionWord(9, 4096), 0};
    const MatchCase cases[] = {
        {7, 4096, TRUE}, {7, 1, TRUE},     {3, 4100, TRUE},   {3, 4096, FALSE},
        {9, 4096, TRUE}, {9, 4097, FALSE}, {-7, 4096, FALSE}, {0, 0, FALSE},
    };
    for (const MatchCase& c : cases)
        EXPECT_EQ(MatchesEventList(list, c.id, c.code), c.match) << c.id << " " << c.code;
    EXPECT_FALSE(MatchesEventList(nullptr, 7, 1));
}

TEST(ViewUtilities, BrushHolderHoldsOneSolidBrush)
{
    IxBrushHolder holder;
    ASSERT_TRUE(CreateBrushHolder(&holder, RGB(1, 2, 3)));
    HBRUSH first = holder.hBrush;
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(CreateBrushHolder(&holder, RGB(4, 5, 6)));
    EXPECT_NE(holder.hBrush, nullptr);
    EXPECT_FALSE(CreateBrushHolder(nullptr, 0));
}

// A list whose image table holds the selection marker and the current
// picture, with one row holding a marker child.
class MarkerList : public IxView {
public:
    MarkerList()
    {
        row = new Sheet(1, RECT{0, 0, 100, 40});
        marker = new IxImageElement;
        marker->SetId(kIxSelectionPictureId);
        row->AddChild(marker);
        AddChild(row);
        picture = new IxImageElement;
        row->AddChild(picture);
    }
    ~MarkerList() override
    {
        selection->Release();
        current->Release();
    }
    LRESULT Control(int code, LPARAM a, LPARAM b) override
    {
        if (code != IXSVC_LISTIMAGE)
            return IxView::Control(code, a, b);
        return reinterpret_cast<LRESULT>(b == IXLIMG_SELECTION ? selection : b == IXLIMG_STANDBY ? current : nullptr);
    }
    void Draw(IxPaintRecord*) override {}
    IxImage* selection = new IxColorImage(kRed, 1, 1);
    IxImage* current = new IxColorImage(kGreen, 1, 1);
    Sheet* row;
    IxImageElement* marker;
    IxImageElement* picture;
};

TEST(ViewUtilities, RowsShowTheSelectionMarkerAndTheCurrentPicture)
{
    MarkerList list;
    EXPECT_TRUE(ShowSelectionPicture(list.row, IXEV_SELECTED));
    EXPECT_EQ(list.marker->GetImage(), list.selection);
    EXPECT_EQ(list.selection->GetRefCount(), 2);
    EXPECT_TRUE(ShowSelectionPicture(list.row, IXEV_UNSELECTED));
    EXPECT_EQ(list.marker->GetImage(), nullptr);
    EXPECT_EQ(list.selection->GetRefCount(), 1);
    EXPECT_FALSE(ShowSelectionPicture(list.row, IXEV_PRESSED));

    EXPECT_TRUE(ShowCurrentPicture(list.picture));
    EXPECT_EQ(list.picture->GetImage(), list.current);
    IxImageElement alone;
    EXPECT_FALSE(ShowCurrentPicture(&alone));
}

} // namespace
