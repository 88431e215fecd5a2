// The picture control and the picture loader: the stand-by picture until the
// decode arrives, one request per control, first in first out, and a queue
// that never stalls behind a control that is gone or does not take its
// picture.
#include "Lib_cpp/controls/PathImage.h"
#include "Lib_cpp/controls/ImageLoader.h"
#include "Lib_cpp/core/App.h"
#include "Lib_cpp/core/Window.h"
#include "Lib_cpp/image/Image.h"
#include "Lib_cpp/kernel/ServiceCodes.h"
#include "platform/base/Clock.h"
#include "tests/common/FrameWindow.h"
#include "tests/common/GatedDecoder.h"
#include "tests/common/Screenshot.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

namespace {

using namespace frametest;

constexpr COLORREF kStandby = RGB(96, 96, 96);
constexpr COLORREF kEmpty = RGB(40, 40, 40);

class TestApp : public IxApp {
public:
    TestApp() : IxApp(u"PathImageTestClass") {}
    HWND InitInstance() override { return nullptr; }
};

// The list that holds the pictures: it answers the stand-by picture and the
// empty path's picture from its image table.
class PictureList : public Sheet {
public:
    PictureList() : Sheet(20, RECT{0, 0, 800, 480})
    {
        standby = new IxColorImage(kStandby, 1, 1);
        empty = new IxColorImage(kEmpty, 1, 1);
    }
    ~PictureList() override
    {
        standby->Release();
        empty->Release();
    }
    LRESULT Control(int code, LPARAM a, LPARAM b) override
    {
        if (code != IXSVC_LISTIMAGE)
            return Sheet::Control(code, a, b);
        if (b == IXLIMG_STANDBY)
            return reinterpret_cast<LRESULT>(standby);
        return b == IXLIMG_EMPTY ? reinterpret_cast<LRESULT>(empty) : 0;
    }
    IxPathImage* Add(IxImageLoader* loader, RECT rc)
    {
        auto* picture = new IxPathImage(loader);
        picture->SetRectNow(rc);
        picture->SetFlags(IXF_STRETCH, 0);
        AddChild(picture);
        return picture;
    }
    IxImage* standby;
    IxImage* empty;
};

// A control that hears its picture is ready but does not take it.
class DeafPicture : public IxPathImage {
public:
    using IxPathImage::IxPathImage;
    LRESULT OnEvent(int code, LPARAM param) override
    {
        if (code == IXEV_PICTUREREADY) {
            ++heardReady;
            return 1;
        }
        return IxPathImage::OnEvent(code, param);
    }
    int heardReady = 0;
};

std::string Source(IxImage* image)
{
    auto* counted = dynamic_cast<CountedImage*>(image);
    return counted ? counted->source : std::string();
}

class PathImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CountedImage::live = 0;
        window = OpenFrameWindow(u"PathImageTestClass");
        ASSERT_NE(window, nullptr);
        hwnd = window->GetHandle();
        frame = window->GetKernelFrame();
        frame->SetBackgroundColor(kBlue);
        list = new PictureList;
        ASSERT_TRUE(frame->PushLayer(list, nullptr, IXLAYER_SCREEN));
    }
    void TearDown() override
    {
        fake.Open();
        real.Open();
        CloseFrameWindow(hwnd, u"PathImageTestClass");
        loader.reset();
        EXPECT_EQ(CountedImage::live, 0);
    }
    void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    // Handles what the loader posts until the condition holds (the limit
    // only keeps a broken build from hanging).
    bool PumpUntil(const std::function<bool()>& done)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            Pump();
            std::this_thread::yield();
        }
        return true;
    }
    // Waits until the loader's announcement is in the queue, unhandled.
    bool WaitPosted()
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        MSG msg;
        while (!PeekMessageW(&msg, hwnd, g_uIxNotifyAction, g_uIxNotifyAction, PM_NOREMOVE)) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::yield();
        }
        return true;
    }
    IxPathImage* Picture(RECT rc = RECT{0, 0, 100, 80}) { return list->Add(loader.get(), rc); }
    static void SetPath(IxElement* picture, LPCWSTR path)
    {
        IxString text(path);
        picture->SetProperty(IXP_TEXTLATER, reinterpret_cast<LPARAM>(&text));
    }
    static bool Loaded(IxPathImage* picture) { return picture->GetPendingPath().IsEmpty(); }

    TestApp app;
    GatedDecoder fake;
    GatedDecoder real{true};
    std::unique_ptr<IxImageLoader> loader = std::make_unique<IxImageLoader>(IXA_PICTUREREADY, &fake);
    IxFrameWnd* window = nullptr;
    HWND hwnd = nullptr;
    IxKernelFrame* frame = nullptr;
    PictureList* list = nullptr;
};

// Four quadrants, so that a picture scaled into its cell is recognisable.
void WritePhoto(const std::string& host, std::uint32_t a, std::uint32_t b)
{
    screenshot::Image photo(64, 48);
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x)
            photo.At(x, y) = (x < 32) == (y < 24) ? a : b;
    }
    ASSERT_TRUE(screenshot::WritePng(host, photo));
}

TEST_F(PathImageTest, TheStandbyPictureShowsUntilTheDecodeArrives)
{
    TempUnit unit;
    std::filesystem::create_directories(unit.Host("HDD/Photos"));
    WritePhoto(unit.Host("HDD/Photos/a.png"), 0xE04030, 0xF0E0C0);
    WritePhoto(unit.Host("HDD/Photos/b.png"), 0x3060C0, 0xFFFFFF);
    WritePhoto(unit.Host("HDD/Photos/c.png"), 0x40A040, 0x202020);
    loader = std::make_unique<IxImageLoader>(IXA_PICTUREREADY, &real);
    real.Close();
    IxPathImage* pictures[]
        = {Picture(RECT{40, 160, 260, 320}), Picture(RECT{290, 160, 510, 320}), Picture(RECT{540, 160, 760, 320})};
    SetPath(pictures[0], u"\\HDD\\Photos\\a.png");
    SetPath(pictures[1], u"\\HDD\\Photos\\b.png");
    SetPath(pictures[2], u"\\HDD\\Photos\\c.png");
    InvalidateRect(hwnd, nullptr, FALSE);
    Pump();
    EXPECT_TRUE(screenshot::ScreenMatchesReference("Standby"));

    real.Open();
    ASSERT_TRUE(PumpUntil([&] { return Loaded(pictures[0]) && Loaded(pictures[1]) && Loaded(pictures[2]); }));
    InvalidateRect(hwnd, nullptr, FALSE);
    Pump();
    EXPECT_TRUE(screenshot::ScreenMatchesReference("Decoded"));
    // First in, first out.
    EXPECT_EQ(real.Entered(),
              (std::vector<std::string>{"\\HDD\\Photos\\a.png", "\\HDD\\Photos\\b.png", "\\HDD\\Photos\\c.png"}));
}

TEST_F(PathImageTest, TheSamePathTwiceQueuesOneRequest)
{
    fake.Close();
    IxPathImage* picture = Picture();
    SetPath(picture, u"a");
    SetPath(picture, u"a");
    EXPECT_EQ(loader->CountRequests(picture), 1);
    fake.Open();
    ASSERT_TRUE(PumpUntil([&] { return Loaded(picture); }));
    EXPECT_EQ(fake.Entered(), (std::vector<std::string>{"a"}));
}

TEST_F(PathImageTest, ANewPathBeforeTheDecodeGetsOnlyTheNewPicture)
{
    fake.Close();
    IxPathImage* picture = Picture();
    SetPath(picture, u"a");
    ASSERT_TRUE(fake.WaitEntered(1));
    SetPath(picture, u"b");
    EXPECT_EQ(loader->CountRequests(picture), 1);
    fake.Open();
    ASSERT_TRUE(PumpUntil([&] { return Loaded(picture); }));
    EXPECT_EQ(Source(picture->GetImage()), "b");
    EXPECT_EQ(CountedImage::live, 1); // a's picture was released
}

TEST_F(PathImageTest, AControlGoneBeforeDeliveryDoesNotBlockTheNextPictures)
{
    enum class Gone { WhileDecoding, AfterDecoding };
    for (Gone when : {Gone::WhileDecoding, Gone::AfterDecoding}) {
        SCOPED_TRACE(when == Gone::WhileDecoding ? "while decoding" : "after decoding");
        fake.Close();
        IxPathImage* first = Picture();
        IxPathImage* second = Picture();
        SetPath(first, u"first");
        SetPath(second, u"second");
        ASSERT_TRUE(fake.WaitEntered(when == Gone::WhileDecoding ? 1 : 0));
        if (when == Gone::AfterDecoding) {
            fake.Open();
            ASSERT_TRUE(WaitPosted()); // first's picture waits at the head
        }
        list->RemoveChild(first, TRUE);
        fake.Open();
        ASSERT_TRUE(PumpUntil([&] { return Loaded(second); }));
        EXPECT_EQ(Source(second->GetImage()), "second");
        EXPECT_EQ(CountedImage::live, 1);
        list->RemoveChild(second, TRUE);
        EXPECT_TRUE(PumpUntil([&] { return loader->GetQueueLength() == 0; }));
        fake.Reset();
    }
}

TEST_F(PathImageTest, AResultNobodyTakesIsDroppedAfterItsTimeOut)
{
    platform::ManualClock clock;
    auto* deaf = new DeafPicture(loader.get());
    list->AddChild(deaf);
    IxPathImage* next = Picture();
    SetPath(deaf, u"deaf");
    SetPath(next, u"next");
    ASSERT_TRUE(PumpUntil([&] { return deaf->heardReady == 1; }));
    // The head waits for its control: nothing else is decoded meanwhile.
    clock.Advance(IxImageLoader::kResultTimeoutMs - 1);
    Pump();
    EXPECT_EQ(fake.Entered(), (std::vector<std::string>{"deaf"}));
    EXPECT_FALSE(Loaded(next));

    // The loader turns its wait's length into a deadline after reading the
    // clock, so on a loaded machine that deadline can lie past this step:
    // keep the clock going until the head is dropped, then let it stand so
    // that the next result is not timed out before it is taken.
    ASSERT_TRUE(PumpUntil([&] {
        if (loader->CountRequests(deaf) == 0)
            return true;
        clock.Advance(1);
        return false;
    }));
    ASSERT_TRUE(PumpUntil([&] { return Loaded(next); }));
    EXPECT_EQ(Source(next->GetImage()), "next");
    EXPECT_EQ(Source(deaf->GetImage()), ""); // still the stand-by picture
    EXPECT_EQ(deaf->GetImage(), list->standby);
}

TEST_F(PathImageTest, WithoutAStandbyPictureTheFileDecodesOnFirstUse)
{
    auto* sheet = new Sheet(30, RECT{0, 0, 200, 200});
    auto* picture = new IxPathImage(loader.get());
    picture->SetRectNow(RECT{0, 0, 120, 90});
    sheet->AddChild(picture);
    frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN);
    SetPath(picture, u"\\HDD\\none.jpg");
    EXPECT_NE(dynamic_cast<IxDecodedImage*>(picture->GetImage()), nullptr);
    EXPECT_TRUE(Loaded(picture));
    EXPECT_EQ(loader->GetQueueLength(), 0);
    EXPECT_TRUE(fake.Entered().empty());
}

TEST_F(PathImageTest, WhatCancelsAPendingLoad)
{
    struct Case {
        const char* name;
        std::function<void(IxPathImage*)> act;
        std::function<IxImage*(PictureList*)> shown;
    };
    const Case cases[] = {
        {"null path clears", [](IxPathImage* p) { p->SetProperty(IXP_TEXTNOW, 0); },
         [](PictureList*) -> IxImage* { return nullptr; }},
        {"empty path", [](IxPathImage* p) { SetPath(p, u""); }, [](PictureList* l) { return l->empty; }},
        {"marked", [](IxPathImage* p) { p->OnEvent(IXEV_MARKED, 0); }, [](PictureList* l) { return l->standby; }},
        {"detached", [](IxPathImage* p) { p->OnEvent(IXEV_DETACHED, 0); }, [](PictureList* l) { return l->standby; }},
    };
    fake.Close();
    IxPathImage* blocker = Picture(); // keeps the loader busy at the head
    SetPath(blocker, u"blocker");
    ASSERT_TRUE(fake.WaitEntered(1));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IxPathImage* picture = Picture();
        SetPath(picture, u"p");
        ASSERT_EQ(loader->CountRequests(picture), 1);
        c.act(picture);
        EXPECT_EQ(loader->CountRequests(picture), 0);
        EXPECT_TRUE(Loaded(picture));
        EXPECT_EQ(picture->GetImage(), c.shown(list));
    }
    fake.Open();
    ASSERT_TRUE(PumpUntil([&] { return Loaded(blocker); }));
    EXPECT_EQ(fake.Entered(), (std::vector<std::string>{"blocker"}));
}

} // namespace
