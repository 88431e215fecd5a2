// The shared popups on a frame window with the manual clock: which rows,
// buttons and background each style and button set shows, what the owner
// hears for OK, Cancel, a touch, the time-out and the popup being taken
// away, the windowed popup's step over the navigation map, the OK and
// capture popups' closing, the capture file names, and screenshots with the
// unit's pictures and fonts (and without the pictures).
#include "Source/screens/common/CaptureFile.h"
#include "Source/screens/common/CapturePopup.h"
#include "Source/screens/common/MessagePopup.h"
#include "Source/screens/common/OkPopup.h"
#include "Source/screens/common/PopupParts.h"
#include "Source/screens/common/WindowedMessagePopup.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/TextLabel.h"
#include "Lib_cpp/core/App.h"
#include "Source/shell/ShellIds.h"
#include "Source/shell/StartupLists.h"
#include "platform/base/Clock.h"
#include "platform/io/File.h"
#include "tests/common/ActionListener.h"
#include "tests/common/FrameScreenshot.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

namespace fs = std::filesystem;
using frametest::ActionListener;

constexpr int kPopupId = 10066;

std::string Narrow(const IxString& text)
{
    std::string out;
    for (LPCWSTR p = text.Text(); *p; ++p)
        out.push_back(static_cast<char>(*p));
    return out;
}

// The popups' pictures as the build drew them, copied into the test's unit.
void CopyPopupPictures(const std::string& root)
{
    const fs::path from = fs::path(WREN_ASSETS_UNIT) / "NAND" / "Wren" / "Images";
    const fs::path to = fs::path(root) / "NAND" / "Wren" / "Images";
    for (const char* file :
         {"Bluetooth/biginfo_popup.bmp", "Bluetooth/popup_ok_btn_nor.bmp", "Bluetooth/popup_ok_btn_sel.bmp",
          "Setting/question_popup.bmp", "Setting/popup_two_ok_btn_all.bmp", "Setting/popup_two_cancel_btn_all.bmp",
          "PIP/HD_Warning.bmp", "DVD/dvd_capture_popup.bmp"}) {
        fs::create_directories((to / file).parent_path());
        fs::copy_file(from / file, to / file, fs::copy_options::overwrite_existing);
    }
}

// Keeps a popup whose layer it owned when the layer goes, so that the test
// can look at what the popup left behind.
class Keeper : public IxElement {
public:
    ~Keeper() override { delete kept; }
    LRESULT OnEvent(int code, LPARAM param) override
    {
        if (code == IXEV_LAYERCLOSED || code == IXEV_HANDBACK) {
            m_dwFlags &= ~IXF_OWNSLAYER;
            delete kept;
            kept = reinterpret_cast<IxElement*>(param);
            return 0;
        }
        return IxElement::OnEvent(code, param);
    }
    void Draw(IxPaintRecord*) override {}
    IxElement* kept = nullptr;
};

class TestWindowedPopup : public CWindowedMessagePopup {
public:
    using CWindowedMessagePopup::CWindowedMessagePopup;
    int naviState = 0;

protected:
    int NaviState() const override { return naviState; }
};

// The OK popup with its children open to the test.
class TestOkPopup : public COkPopup {
public:
    using COkPopup::COkPopup;
    using IxView::EachChild;
};

// Makes the frame window the application's main window, which the windowed
// popup's own window hands its paint and input to.
class PopupApp : public IxApp {
public:
    PopupApp() : IxApp(kFrameClass) {}
    HWND InitInstance() override { return nullptr; }
    static constexpr LPCWSTR kFrameClass = u"FrameWindowTestClass";
};

class PopupTest : public frametest::FrameScreenshotTest {
protected:
    explicit PopupTest(bool pictures = true, bool mainWindow = false) : m_bPictures(pictures)
    {
        if (mainWindow)
            app = std::make_unique<PopupApp>();
    }
    void SetUp() override
    {
        ASSERT_TRUE(unit.IsOpen());
        if (m_bPictures)
            CopyPopupPictures(unit.Root());
        FrameScreenshotTest::SetUp();
        FillUnitFonts(frame->GetFontTable(), g_nFontIndex);
        heard = std::make_unique<ActionListener>(kPopupId);
        shows = std::make_unique<ActionListener>(FID_EXT_VC_SHOWVIEW);
        Repaint();
    }
    void TearDown() override
    {
        while (frame->IsLayerShown(kPopupId))
            frame->PopLayer(kPopupId);
        Pump();
        heard.reset();
        shows.reset();
        keeper.reset();
        if (!app) {
            FrameScreenshotTest::TearDown();
            return;
        }
        // The main window's object goes with the window.
        ReleaseCapture();
        frametest::CloseFrameWindow(hwnd, PopupApp::kFrameClass);
    }
    // Shows the popup at the standard box and paints it (which starts its
    // time-out).
    // (A windowed popup takes the level of a top layer: 1.)
    template <class P> P* Open(P* popup, const RECT& rect = kMessageBox, IxElement* owner = nullptr)
    {
        EXPECT_TRUE(popup->Show(owner, kPopupId, rect, std::is_base_of_v<IxChildWindowView, P> ? 1 : -1));
        Repaint();
        return popup;
    }
    bool IsOpen() const { return frame->IsLayerShown(kPopupId) != nullptr; }
    void Settle()
    {
        IxGetKernel()->DrainQueue();
        frame->SyncTimers();
        Pump();
    }
    void Tick(int ms)
    {
        clock.Advance(static_cast<std::uint64_t>(ms));
        Pump();
        frame->SyncTimers();
        Pump();
        Settle();
    }
    void Tap(int x, int y)
    {
        Down(x, y);
        Up(x, y);
        Settle();
    }
    // The notices the owner heard, in order.
    std::vector<int> Notices() const
    {
        std::vector<int> out;
        for (const auto& h : heard->heard)
            out.push_back(h.kind);
        return out;
    }
    static IxElement* Child(IxElement* popup, int id)
    {
        return popup->FindElement(IXFIND_ID, id, nullptr, nullptr, nullptr);
    }
    // A child's left edge and top in the popup, or {-1, -1} when missing.
    static POINT Place(IxElement* popup, int id)
    {
        IxElement* child = Child(popup, id);
        if (!child)
            return POINT{-1, -1};
        RECT rc;
        child->GetRect(&rc);
        return POINT{rc.left, rc.top};
    }

    std::unique_ptr<PopupApp> app;
    TempUnit unit{"wren-popups"};
    platform::ManualClock clock{50000};
    std::unique_ptr<ActionListener> heard;
    std::unique_ptr<ActionListener> shows;
    std::unique_ptr<Keeper> keeper;

private:
    bool m_bPictures;
};

// ---------------------------------------------------------------------------
// What shows

TEST(PopupLinesTest, TextIsCutIntoRowsAtEveryKindOfBreak)
{
    const struct {
        const char16_t* text;
        int given;
        std::vector<std::string> lines;
        int rows;
    } cases[] = {
        {u"", 0, {}, 1},
        {u"A", 0, {"A"}, 1},
        {u"A\r\nB", 0, {"A", "B"}, 2},
        {u"A\rB", 0, {"A", "B"}, 2},
        {u"A\n\nB", 0, {"A", "", "B"}, 3},
        {u"A\nB\nC\nD", 0, {"A", "B", "C", "D"}, 3}, // the fourth line is not shown
        {u"A\n", 0, {"A"}, 1},
        {u"A\nB", 3, {"A", "B"}, 3}, // the third row stays empty
        {u"A\nB", 1, {"A", "B"}, 1},
        // Counts the popup has no rows for fall back to the text's.
        {u"A\nB", 7, {"A", "B"}, 2},
        {u"A\nB\nC\nD", -2, {"A", "B", "C", "D"}, 3},
    };
    for (const auto& c : cases) {
        IxStringArray lines;
        const int count = SplitPopupLines(c.text, &lines);
        std::vector<std::string> got;
        for (int i = 0; i < lines.Count(); ++i)
            got.push_back(Narrow(lines.At(i)));
        EXPECT_EQ(got, c.lines) << Narrow(IxString(c.text));
        EXPECT_EQ(count, static_cast<int>(c.lines.size()));
        EXPECT_EQ(PopupRowCount(c.given, count), c.rows) << Narrow(IxString(c.text)) << " given " << c.given;
    }
}

TEST_F(PopupTest, ButtonSetsAndStylesPickButtonsRowsAndBackground)
{
    const POINT none{-1, -1};
    const struct {
        int style;
        int buttons;
        POINT ok;
        POINT cancel;
        int firstRowY; // one row
        const WCHAR* background;
    } cases[] = {
        {MPS_INFORMATION, MPB_NONE, none, none, 127, CMessagePopup::kInformationImage},
        {MPS_INFORMATION, MPB_OK, {140, 255}, none, 116, CMessagePopup::kInformationImage},
        {MPS_QUESTION, MPB_OK2, {140, 255}, none, 116, CMessagePopup::kQuestionImage},
        {MPS_QUESTION, MPB_CANCEL, none, {140, 255}, 116, CMessagePopup::kQuestionImage},
        {MPS_QUESTION, MPB_CANCEL2, none, {140, 255}, 116, CMessagePopup::kQuestionImage},
        {MPS_QUESTION, MPB_OKCANCEL, {10, 255}, {270, 255}, 116, CMessagePopup::kQuestionImage},
        {MPS_INFORMATION, MPB_OKCANCEL2, {10, 255}, {270, 255}, 116, CMessagePopup::kInformationImage},
        {MPS_INFORMATION, MPB_OKCANCEL3, {10, 255}, {270, 255}, 116, CMessagePopup::kInformationImage},
        {9, 8, none, none, 127, nullptr}, // unknown style and set: no picture, no button
    };
    for (const auto& c : cases) {
        auto* popup = Open(new CMessagePopup(u"하나", c.style, 0, c.buttons, 0));
        const std::string what = "style " + std::to_string(c.style) + " set " + std::to_string(c.buttons);
        EXPECT_EQ(Place(popup, BTN_POPUP_OK).x, c.ok.x) << what;
        EXPECT_EQ(Place(popup, BTN_POPUP_OK).y, c.ok.y) << what;
        EXPECT_EQ(Place(popup, BTN_POPUP_CANCEL).x, c.cancel.x) << what;
        EXPECT_EQ(Place(popup, BTN_POPUP_CANCEL).y, c.cancel.y) << what;
        EXPECT_EQ(Place(popup, FID_POPUP_LINE1).y, c.firstRowY) << what;
        EXPECT_EQ(Child(popup, FID_POPUP_LINE2), nullptr) << what;
        const LPCWSTR background = CMessagePopup::BackgroundFor(c.style, nullptr);
        EXPECT_EQ(background ? Narrow(IxString(background)) : "", c.background ? Narrow(IxString(c.background)) : "")
            << what;
        frame->PopLayer(kPopupId);
        Pump();
    }
    // The custom style's picture is the second text.
    EXPECT_EQ(Narrow(IxString(CMessagePopup::BackgroundFor(MPS_CUSTOM, u"\\x.bmp"))), "\\x.bmp");
    EXPECT_EQ(CMessagePopup::BackgroundFor(MPS_CUSTOM, u""), nullptr);
}

TEST_F(PopupTest, RowsStandAboveTheButtonsAndTakeTheirLines)
{
    const struct {
        const char16_t* text;
        int lineCount;
        int buttons;
        std::vector<int> rowY;
        std::vector<std::string> texts;
    } cases[] = {
        {u"A\r\nB", 0, MPB_OK, {107, 135}, {"A", "B"}},
        {u"A\n\nB", 0, MPB_NONE, {109, 137, 165}, {"A", "", "B"}},
        {u"A\nB\nC\nD", 0, MPB_OKCANCEL, {98, 126, 154}, {"A", "B", "C"}},
        {u"A", 3, MPB_NONE, {109, 137, 165}, {"A", "", ""}},
        {u"A\nB", 9, MPB_OK, {107, 135}, {"A", "B"}}, // no row past the third id
    };
    for (const auto& c : cases) {
        auto* popup = Open(new CMessagePopup(c.text, MPS_INFORMATION, c.lineCount, c.buttons, 0));
        std::vector<int> ys;
        std::vector<std::string> texts;
        for (int id = FID_POPUP_LINE1; id <= FID_POPUP_LINE3; ++id) {
            if (auto* row = dynamic_cast<IxStaticText*>(Child(popup, id))) {
                ys.push_back(Place(popup, id).y);
                texts.push_back(Narrow(row->GetText()));
            }
        }
        EXPECT_EQ(ys, c.rowY) << Narrow(IxString(c.text));
        EXPECT_EQ(texts, c.texts) << Narrow(IxString(c.text));
        EXPECT_EQ(popup->GetRowCount(), static_cast<int>(c.rowY.size()));
        frame->PopLayer(kPopupId);
        Pump();
    }
}

// ---------------------------------------------------------------------------
// What the owner hears

// Screen points of the buttons of the standard box.
constexpr POINT kOkOfTwo{138 + 10 + 122, 83 + 255 + 26};
constexpr POINT kCancelOfTwo{138 + 270 + 122, 83 + 255 + 26};
constexpr POINT kSingle{138 + 140 + 122, 83 + 255 + 26};
constexpr POINT kText{138 + 262, 83 + 120};

TEST_F(PopupTest, TheOwnerHearsOneAnswerAndThePopupGoes)
{
    enum class Do { Tap, PopByOwner, Wait };
    const struct {
        const char* what;
        int buttons;
        int timeout;
        Do action;
        POINT at;
        std::vector<int> notices;
        bool open;
    } cases[] = {
        {"OK alone", MPB_OK, 0, Do::Tap, kSingle, {PPN_OK}, false},
        {"Cancel alone", MPB_CANCEL, 0, Do::Tap, kSingle, {PPN_CANCEL}, false},
        {"OK of two", MPB_OKCANCEL, 0, Do::Tap, kOkOfTwo, {PPN_OK}, false},
        {"Cancel of two", MPB_OKCANCEL, 0, Do::Tap, kCancelOfTwo, {PPN_CANCEL}, false},
        {"the text of a popup with buttons", MPB_OKCANCEL, 0, Do::Tap, kText, {}, true},
        {"a touch without buttons", MPB_NONE, 0, Do::Tap, kText, {PPN_OK}, false},
        {"a touch with a time-out running", MPB_NONE, 3000, Do::Tap, kText, {PPN_OK}, false},
        {"taken away by its screen", MPB_OK, 0, Do::PopByOwner, {}, {PPN_CLOSED}, false},
        {"the time-out, once", MPB_OK, 3000, Do::Wait, {}, {PPN_CLOSED}, false},
        {"no time-out, no buttons: it stays", MPB_NONE, 0, Do::Wait, {}, {}, true},
    };
    for (const auto& c : cases) {
        Open(new CMessagePopup(u"물음", MPS_QUESTION, 0, c.buttons, c.timeout));
        switch (c.action) {
        case Do::Tap:
            Tap(c.at.x, c.at.y);
            break;
        case Do::PopByOwner:
            frame->PopLayer(kPopupId);
            Settle();
            break;
        case Do::Wait:
            Tick(600000);
            break;
        }
        Tick(10000); // nothing more comes
        EXPECT_EQ(Notices(), c.notices) << c.what;
        EXPECT_EQ(IsOpen(), c.open) << c.what;
        while (frame->IsLayerShown(kPopupId))
            frame->PopLayer(kPopupId);
        Settle();
        heard->heard.clear();
    }
}

TEST_F(PopupTest, TheTimeOutStartsWhenThePopupIsFirstShownAndClosesItOnTheMillisecond)
{
    auto* popup = Open(new CMessagePopup(u"잠시", MPS_INFORMATION, 1, MPB_NONE, 3000));
    EXPECT_TRUE(IxGetKernel()->IsTimerSet(popup, TM_POPUPTIMEOUT));
    Tick(2999);
    EXPECT_TRUE(IsOpen());
    EXPECT_TRUE(Notices().empty());
    Tick(1);
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(Notices(), std::vector<int>{PPN_CLOSED});
}

TEST_F(PopupTest, AClosingPopupDoesNotTakeANewerOneOfTheSameIdWithIt)
{
    // The screen drops the popup and shows another under the same id at once.
    Open(new CMessagePopup(u"처음", MPS_INFORMATION, 0, MPB_OK, 0));
    frame->PopLayer(kPopupId);
    auto* second = new CMessagePopup(u"다음", MPS_INFORMATION, 0, MPB_OK, 0);
    ASSERT_TRUE(second->Show(nullptr, kPopupId, kMessageBox, -1));
    Settle();
    Tick(1000);
    EXPECT_EQ(frame->IsLayerShown(kPopupId), second);
    EXPECT_EQ(Notices(), std::vector<int>{PPN_CLOSED});
}

TEST_F(PopupTest, AModalPopupEndsTheLoopWithItsButton)
{
    // The press is queued before the loop runs; the loop hands it on.
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(kCancelOfTwo.x, kCancelOfTwo.y));
    PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(kCancelOfTwo.x, kCancelOfTwo.y));
    auto* popup = new CMessagePopup(u"모달", MPS_QUESTION, 0, MPB_OKCANCEL, 0);
    EXPECT_EQ(popup->ShowModal(nullptr, kPopupId, kMessageBox), 2);
    Settle();
    EXPECT_FALSE(IsOpen());
    EXPECT_TRUE(Notices().empty()); // the loop's result is the answer
}

class WindowedPopupTest : public PopupTest {
protected:
    WindowedPopupTest() : PopupTest(true, true) {}
};

TEST_F(WindowedPopupTest, AnswersAsTheOtherAndLeavesTheNavigationBehind)
{
    // Its buttons and time-out.
    Open(new TestWindowedPopup(u"카드", MPS_INFORMATION, 0, MPB_CANCEL, 0));
    Tap(kSingle.x, kSingle.y);
    EXPECT_EQ(Notices(), std::vector<int>{PPN_CANCEL});
    EXPECT_FALSE(IsOpen());
    heard->heard.clear();
    Open(new TestWindowedPopup(u"카드", MPS_INFORMATION, 0, MPB_CANCEL, 5000));
    Tick(4999);
    EXPECT_TRUE(IsOpen());
    Tick(1);
    EXPECT_EQ(Notices(), std::vector<int>{PPN_CLOSED});
    heard->heard.clear();

    // Taken away: no notice; over the full map the colour key stays where it
    // was, beside the map the navigation program is asked to show itself.
    const struct {
        int naviState;
        bool colourKey;
        bool showView;
    } cases[] = {{0, false, false}, {1, false, false}, {2, true, false}, {3, false, true}};
    for (const auto& c : cases) {
        keeper = std::make_unique<Keeper>();
        auto* popup = new TestWindowedPopup(u"경고", MPS_HDDWARNING, 0, MPB_OK, 0);
        popup->naviState = c.naviState;
        Open(popup, kMessageBox, keeper.get());
        frame->PopLayer(kPopupId);
        Settle();
        ASSERT_EQ(keeper->kept, popup);
        EXPECT_TRUE(Notices().empty()) << c.naviState;
        EXPECT_EQ(!shows->heard.empty(), c.showView) << c.naviState;
        const bool rowHidden = ChildHasFlags(popup, FID_POPUP_LINE1, IXF_HIDDEN) != FALSE;
        const bool okHidden = ChildHasFlags(popup, BTN_POPUP_OK, IXF_HIDDEN) != FALSE;
        EXPECT_EQ(rowHidden, c.colourKey) << c.naviState;
        EXPECT_EQ(okHidden, c.colourKey) << c.naviState;
        EXPECT_EQ(dynamic_cast<CPopupBackdrop*>(popup->GetBackground()) == nullptr, c.colourKey) << c.naviState;
        shows->heard.clear();
        keeper.reset();
    }
}

TEST_F(PopupTest, TheOkPopupClosesOnOkOrItsTimeOutAndTellsNoOne)
{
    Open(new COkPopup({u"디스크가 없습니다."}, 0), RECT{0, 0, 800, 480});
    Tick(600000);
    EXPECT_TRUE(IsOpen());
    Tap(278 + 122, 338 + 26);
    EXPECT_FALSE(IsOpen());

    auto* timed = Open(new COkPopup({u"하나", u"둘"}, 5000), RECT{0, 0, 800, 480});
    EXPECT_TRUE(IxGetKernel()->IsTimerSet(timed, timed->TimerId()));
    Tick(4999);
    EXPECT_TRUE(IsOpen());
    Tick(1);
    EXPECT_FALSE(IsOpen());
    EXPECT_TRUE(Notices().empty());
}

TEST_F(PopupTest, TheOkPopupSharesItsRowsHeightByTheLinesAndBuildsWithoutLines)
{
    const struct {
        std::vector<const char16_t*> lines;
        std::vector<int> rowY;
        int rowHeight;
    } cases[] = {
        {{u"하나"}, {140}, 180},
        {{u"하나", u"둘"}, {140, 230}, 90},
        {{u"하나", u"둘", u"셋", u"넷", u"다섯", u"여섯", u"일곱"}, {140, 165, 190, 215, 240, 265, 290}, 25},
        {{}, {}, 0}, // no rows to divide the height among
    };
    for (const auto& c : cases) {
        IxStringArray lines;
        for (const char16_t* line : c.lines)
            lines.AddText(line);
        auto* popup = Open(new TestOkPopup(lines, 0), RECT{0, 0, 800, 480});
        std::vector<int> ys;
        int height = 0;
        popup->EachChild([&](IxElement* child) {
            if (dynamic_cast<IxStaticText*>(child)) {
                RECT rc;
                child->GetRect(&rc);
                ys.push_back(rc.top);
                height = rc.bottom - rc.top;
            }
        });
        EXPECT_EQ(ys, c.rowY);
        EXPECT_EQ(height, c.rowHeight);
        EXPECT_NE(Child(popup, BTN_POPUP_OK), nullptr);
        frame->PopLayer(kPopupId);
        Pump();
    }
}

TEST_F(PopupTest, TheCapturePopupGoesAfterItsDisplayTime)
{
    auto* popup = Open(new CCapturePopup(nullptr, 1000), RECT{138, 175, 138 + 524, 175 + 129});
    EXPECT_EQ(Narrow(popup->GetImagePath()), Narrow(IxString(CCapturePopup::kDefaultImage)));
    Tick(999);
    EXPECT_TRUE(IsOpen());
    Tick(1);
    EXPECT_FALSE(IsOpen());

    Open(new CCapturePopup(u"\\NAND\\Wren\\Images\\etc\\camview_savepop.bmp", 0), RECT{138, 175, 662, 304});
    Tick(600000);
    EXPECT_TRUE(IsOpen());
}

// ---------------------------------------------------------------------------
// Screenshots

TEST_F(PopupTest, InformationWithOk)
{
    Open(new CMessagePopup(u"입력이 바르지 않습니다.", MPS_INFORMATION, 1, MPB_OK, 0));
    EXPECT_TRUE(screenshot::MatchesReference(Capture()));
}

TEST_F(PopupTest, QuestionWithOkAndCancel)
{
    Open(new CMessagePopup(u"SD 1번 슬롯이 비어 있습니다.\n음성인식 프로그램은\nSD 1번 슬롯에서만 실행될수 있습니다.",
                           MPS_QUESTION, 0, MPB_OKCANCEL, 0));
    EXPECT_TRUE(screenshot::MatchesReference(Capture()));
}

TEST_F(WindowedPopupTest, Warning)
{
    Open(new TestWindowedPopup(u"음성인식 실행 준비중에 있습니다.\n잠시 후에 시도를 해주십시오.", MPS_INFORMATION, 0,
                               MPB_CANCEL, 0));
    EXPECT_TRUE(screenshot::MatchesReference(Capture()));
}

TEST_F(PopupTest, OkPopup)
{
    Open(new COkPopup({u"AVN의 멀티미디어 모드가 다른 모드로", u"변경되면 듀얼죤 화면이 오프로 됩니다."}, 0),
         RECT{0, 0, 800, 480});
    EXPECT_TRUE(screenshot::MatchesReference(Capture()));
}

class PopupWithoutPicturesTest : public PopupTest {
protected:
    PopupWithoutPicturesTest() : PopupTest(false) {}
};

TEST_F(PopupWithoutPicturesTest, PlainFillsAndWrittenCaptions)
{
    Open(new CMessagePopup(u"그림이 없어도\n읽을 수 있습니다.", MPS_QUESTION, 0, MPB_OKCANCEL, 0));
    EXPECT_TRUE(screenshot::MatchesReference(Capture()));
}

// ---------------------------------------------------------------------------
// Capture files

class CaptureFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(unit.IsOpen());
        fs::create_directories(unit.Host("HDD/CAPTURE"));
    }
    void Touch(const std::string& name) { std::ofstream(unit.Host("HDD/CAPTURE/" + name)) << "x"; }
    std::string Name(const SYSTEMTIME& t)
    {
        IxString name;
        MakeCaptureFileNameAt(t, kCapturePrefix, kCaptureExtension, &name);
        return Narrow(name);
    }
    TempUnit unit{"wren-capture"};
};

TEST_F(CaptureFileTest, NamesCarryTheTimeAndTheFirstFreeSuffix)
{
    const SYSTEMTIME march{2010, 3, 5, 5, 14, 15, 22, 0};
    const SYSTEMTIME december{2026, 12, 5, 31, 9, 5, 7, 0};
    EXPECT_EQ(Name(march), "\\HDD\\CAPTURE\\CAPTURE_20100305_141522.jpg");
    EXPECT_EQ(Name(december), "\\HDD\\CAPTURE\\CAPTURE_20261231_090507.jpg");
    const struct {
        std::vector<std::string> existing; // added before the name is made
        std::string name;
    } cases[] = {
        {{"CAPTURE_20100305_141522.jpg"}, "CAPTURE_20100305_141522_1.jpg"},
        {{"CAPTURE_20100305_141522_1.jpg", "CAPTURE_20100305_141522_2.jpg"}, "CAPTURE_20100305_141522_3.jpg"},
    };
    for (const auto& c : cases) {
        for (const std::string& file : c.existing)
            Touch(file);
        EXPECT_EQ(Name(march), "\\HDD\\CAPTURE\\" + c.name);
    }
    // A file of another second does not count.
    EXPECT_EQ(Name(december), "\\HDD\\CAPTURE\\CAPTURE_20261231_090507.jpg");
}

TEST_F(CaptureFileTest, PastNinetyEightTakenNamesTheNinetyNinthIsUsedEvenWhenItExists)
{
    const SYSTEMTIME t{2010, 3, 5, 5, 14, 15, 22, 0};
    Touch("CAPTURE_20100305_141522.jpg");
    for (int n = 1; n <= 98; ++n)
        Touch("CAPTURE_20100305_141522_" + std::to_string(n) + ".jpg");
    EXPECT_EQ(Name(t), "\\HDD\\CAPTURE\\CAPTURE_20100305_141522_99.jpg");
    Touch("CAPTURE_20100305_141522_99.jpg");
    EXPECT_EQ(Name(t), "\\HDD\\CAPTURE\\CAPTURE_20100305_141522_99.jpg");
}

TEST_F(CaptureFileTest, TheNameOfNowHasTheShapeOfATimeStamp)
{
    IxString name;
    MakeCaptureFileName(kCapturePrefix, kCaptureExtension, &name);
    const std::string text = Narrow(name);
    const std::string prefix = "\\HDD\\CAPTURE\\CAPTURE_";
    ASSERT_EQ(text.size(), prefix.size() + 15 + 4) << text;
    EXPECT_EQ(text.substr(0, prefix.size()), prefix);
    EXPECT_EQ(text[prefix.size() + 8], '_');
    EXPECT_EQ(text.substr(text.size() - 4), ".jpg");
}

TEST_F(CaptureFileTest, FreeSpaceIsCountedInWholeMegabytes)
{
    constexpr ULONGLONG kMb = 1ull << 20;
    const struct {
        ULONGLONG free;
        int megabytes;
        BOOL enough;
    } cases[] = {
        {100 * kMb, 100, TRUE}, // exactly the request passes
        {100 * kMb - 1, 100, FALSE}, {101 * kMb - 1, 100, TRUE}, {0, 0, TRUE}, {0, 1, FALSE}, {5000 * kMb, 100, TRUE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsFreeSpaceEnough(c.free, c.megabytes), c.enough) << c.free << " " << c.megabytes;

    EXPECT_TRUE(HasFreeDiskSpace(kCaptureVolume, 0));
    EXPECT_FALSE(HasFreeDiskSpace(kCaptureVolume, INT_MAX));
    EXPECT_FALSE(HasFreeDiskSpace(u"\\HDD\\MISSING\\", 0));
    EXPECT_FALSE(HasFreeDiskSpace(nullptr, 0));
}

} // namespace
