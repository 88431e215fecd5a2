// The mode popup on a frame window with the manual clock: the first
// highlight from the last view, the highlight moves of the remote's keys,
// the 5000 ms auto close, what the close hands on for each navigation
// state, and a screenshot with one source highlighted.
#include "Source/shell/ModePopup.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Source/shell/ShellIds.h"
#include "platform/base/Clock.h"
#include "tests/common/FrameScreenshot.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Letters of the source names, 5 x 7, a row per string.
const char* const* Glyph(char c)
{
    static const char* const kA[] = {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"};
    static const char* const kB[] = {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."};
    static const char* const kD[] = {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."};
    static const char* const kE[] = {"#####", "#....", "#....", "####.", "#....", "#....", "#####"};
    static const char* const kF[] = {"#####", "#....", "#....", "####.", "#....", "#....", "#...."};
    static const char* const kI[] = {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"};
    static const char* const kM[] = {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"};
    static const char* const kO[] = {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."};
    static const char* const kP[] = {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."};
    static const char* const kT[] = {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."};
    static const char* const kU[] = {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."};
    static const char* const kV[] = {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."};
    static const char* const kX[] = {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"};
    switch (c) {
    case 'A':
        return kA;
    case 'B':
        return kB;
    case 'D':
        return kD;
    case 'E':
        return kE;
    case 'F':
        return kF;
    case 'I':
        return kI;
    case 'M':
        return kM;
    case 'O':
        return kO;
    case 'P':
        return kP;
    case 'T':
        return kT;
    case 'U':
        return kU;
    case 'V':
        return kV;
    default:
        return kX;
    }
}

// One frame of a picture: a fill, a border and an optional name in the
// middle, drawn 4 pixels to a glyph dot.
struct Frame {
    COLORREF fill;
    COLORREF border;
    COLORREF text;
};

// A 24-bit bitmap of frames side by side, each a filled box with a border
// of its own colour and the name centred.
void WriteFramesBmp(const std::string& host, int width, int height, const std::vector<Frame>& frames,
                    const std::string& name = {})
{
    constexpr int kDot = 4;
    const int count = static_cast<int>(frames.size());
    const int total = width * count;
    const int stride = (total * 3 + 3) / 4 * 4;
    const int textWidth = static_cast<int>(name.size()) * 6 * kDot - kDot;
    const int textLeft = (width - textWidth) / 2;
    const int textTop = (height - 7 * kDot) / 2;
    std::vector<std::uint8_t> b(54 + static_cast<std::size_t>(stride) * height, 0);
    auto put32 = [&b](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<std::uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(total));
    put32(22, static_cast<std::uint32_t>(height));
    b[26] = 1;
    b[28] = 24;
    auto inText = [&](int fx, int y) {
        const int tx = fx - textLeft;
        const int ty = y - textTop;
        if (name.empty() || tx < 0 || ty < 0 || tx >= textWidth || ty >= 7 * kDot)
            return false;
        const int letter = tx / (6 * kDot);
        const int column = tx % (6 * kDot) / kDot;
        return column < 5 && Glyph(name[static_cast<std::size_t>(letter)])[ty / kDot][column] == '#';
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < total; ++x) {
            const Frame& f = frames[static_cast<std::size_t>(x / width)];
            const int fx = x % width;
            const bool edge = fx < 6 || fx >= width - 6 || y < 6 || y >= height - 6;
            const COLORREF c = edge ? f.border : inText(fx, y) ? f.text : f.fill;
            // Rows go bottom up, pixels as blue, green, red.
            std::uint8_t* p
                = &b[54 + static_cast<std::size_t>(height - 1 - y) * stride + static_cast<std::size_t>(x) * 3];
            p[0] = static_cast<std::uint8_t>((c >> 16) & 0xFF);
            p[1] = static_cast<std::uint8_t>((c >> 8) & 0xFF);
            p[2] = static_cast<std::uint8_t>(c & 0xFF);
        }
    std::filesystem::create_directories(std::filesystem::path(host).parent_path());
    std::ofstream(host, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

std::string HostName(const WCHAR* unitPath)
{
    std::string out;
    for (const WCHAR* p = unitPath + 1; *p; ++p)
        out.push_back(*p == u'\\' ? '/' : static_cast<char>(*p));
    return out;
}

// A popup whose view center answers are the test's.
class TestPopup : public CModePopup {
public:
    int lastView = FID_FM;
    int naviState = 0;
    BOOL tilt = FALSE;

protected:
    int LastView() const override { return lastView; }
    int NaviState() const override { return naviState; }
    BOOL IsTiltShown() const override { return tilt; }
};

// Hears every plain action the popup queues.
class Recorder : public IxElement {
public:
    Recorder() { IxGetKernel()->AddListener(filter, this); }
    ~Recorder() override
    {
        if (IxKernel* kernel = IxGetKernel())
            kernel->RemoveListener(filter, this);
    }
    int ActionIsInvoked(int code, int, LPARAM value) override
    {
        heard.push_back({code, value});
        return 0;
    }
    void Draw(IxPaintRecord*) override {}

    struct Heard {
        int code;
        LPARAM value;
        bool operator==(const Heard&) const = default;
    };
    DWORD filter[2]{IxActionWord(0, AEV_DEFAULT), 0};
    std::vector<Heard> heard;
};

class ModePopupTest : public frametest::FrameScreenshotTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(unit.IsOpen());
        // The source's name on each picture. Normal: light text on slate;
        // pressed: dark text on amber with a white edge; disabled: grey.
        static const char* const kNames[] = {"FM", "DMB", "VIDEO", "DVD", "BT", "AM", "DAB", "AUDIO", "IPOD", "AUX"};
        const std::vector<Frame> frames{{RGB(52, 60, 74), RGB(120, 130, 150), RGB(230, 234, 240)},
                                        {RGB(255, 170, 0), RGB(255, 255, 255), RGB(20, 20, 20)},
                                        {RGB(40, 40, 40), RGB(60, 60, 60), RGB(90, 90, 90)}};
        for (int i = 0; i < CModePopup::kButtonCount; ++i)
            WriteFramesBmp(unit.Host(HostName(CModePopup::kButtons[i].image)), CModePopup::kButtonWidth,
                           CModePopup::kButtonHeight, frames, kNames[i]);
        WriteFramesBmp(unit.Host(HostName(CModePopup::kFrameImage)), 697, 294,
                       {{RGB(22, 26, 34), RGB(90, 100, 120), 0}});
        FrameScreenshotTest::SetUp();
        recorder = std::make_unique<Recorder>();
    }
    void TearDown() override
    {
        if (frame->IsLayerShown(FID_MODEPOPUP))
            frame->PopLayer(FID_MODEPOPUP);
        Pump();
        recorder.reset();
        FrameScreenshotTest::TearDown();
    }
    TestPopup* Open(int lastView, int naviState = 0)
    {
        popup = new TestPopup;
        popup->lastView = lastView;
        popup->naviState = naviState;
        popup->SetRectNow(RECT{0, 0, 800, 480});
        EXPECT_TRUE(frame->PushLayer(popup, nullptr, IXLAYER_SCREEN));
        Repaint();
        return popup;
    }
    bool IsOpen() { return frame->IsLayerShown(FID_MODEPOPUP) != FALSE; }
    void Send(int id, int kind)
    {
        PushGlobalAction(id, kind, 0);
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
    }
    // The indices of the buttons drawn pressed.
    std::vector<int> Pressed()
    {
        std::vector<int> out;
        for (int i = 0; i < CModePopup::kButtonCount; ++i)
            if (ChildHasFlags(popup, CModePopup::kButtons[i].id, IXF_PRESSED))
                out.push_back(i);
        return out;
    }
    // The mode key reaches the popup from the kernel object, not as a
    // listener.
    void ModeKey(int kind)
    {
        popup->ActionIsInvoked(FID_EXT_MODEKEY, kind, 0);
        IxGetKernel()->DrainQueue();
        frame->SyncTimers();
        Pump();
    }
    // What the popup handed on: a source view, or the navigation update.
    std::vector<Recorder::Heard> HandedOn()
    {
        std::vector<Recorder::Heard> out;
        for (const Recorder::Heard& h : recorder->heard)
            if ((h.code > FID_SOURCE_BASE && h.code <= FID_BLUETOOTH_LAST) || h.code == FID_EXT_VC_SHOWVIEW)
                out.push_back(h);
        return out;
    }

    TempUnit unit{"wren-modepopup"};
    platform::ManualClock clock{100000};
    std::unique_ptr<Recorder> recorder;
    TestPopup* popup = nullptr;
};

TEST_F(ModePopupTest, TheLastViewPicksTheFirstHighlight)
{
    const struct {
        int view;
        int index;
    } cases[] = {
        {FID_FM, 0},  {FID_DMB, 1},   {FID_MOVIE, 2}, {FID_DVD, 3}, {FID_BLUETOOTH, 4}, {FID_AM, 5},
        {FID_DAB, 6}, {FID_MUSIC, 7}, {FID_IPOD, 8},  {FID_AUX, 9}, {FID_PHOTO, 0},     {FID_GATE, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CModePopup::IndexForView(c.view), c.index) << c.view;
    }
    Open(FID_DAB);
    EXPECT_EQ(popup->GetHighlight(), 6);
    EXPECT_EQ(Pressed(), std::vector<int>{6});
}

TEST_F(ModePopupTest, KeysMoveTheHighlight)
{
    const struct {
        int lastView;
        int action;
        int kind;
        int highlight;
    } cases[] = {
        {FID_AUX, FID_EXT_RIGHT, AEV_SHORTPRESS, 0}, // 9 wraps to 0
        {FID_FM, FID_EXT_LEFT, AEV_LONGRELEASE, 9},  // 0 wraps to 9
        {FID_DAB, FID_EXT_RIGHT, AEV_LONGRELEASE, 7},   {FID_DAB, FID_EXT_LEFT, AEV_SHORTPRESS, 5},
        {FID_MUSIC, FID_EXT_ROWUP, AEV_SHORTPRESS, 2}, // row key from 7 to 2
        {FID_DMB, FID_EXT_ROWDOWN, AEV_LONGRELEASE, 6}, {FID_AUX, FID_EXT_MODENEXT, AEV_DEFAULT, 0},
        {FID_DVD, FID_EXT_MODEKEY, AEV_SHORTPRESS, 4}, // the mode key asks for the next
        {FID_DVD, FID_EXT_LEFT, AEV_DEFAULT, 3},       // not a key kind: stays
        {FID_DVD, FID_EXT_ROWUP, AEV_HOLDSTART, 3},
    };
    for (const auto& c : cases) {
        Open(c.lastView);
        const int before = popup->GetHighlight();
        if (c.action == FID_EXT_MODEKEY)
            ModeKey(c.kind);
        else
            Send(c.action, c.kind);
        EXPECT_EQ(popup->GetHighlight(), c.highlight) << c.action << " from " << before;
        EXPECT_EQ(Pressed(), std::vector<int>{c.highlight}) << c.action << " from " << before;
        EXPECT_TRUE(IsOpen());
        frame->PopLayer(FID_MODEPOPUP);
        Pump();
        EXPECT_TRUE(HandedOn().empty()) << c.action; // a move changes no source
        recorder->heard.clear();
    }
}

TEST_F(ModePopupTest, ClosesAfterFiveSecondsWithoutInput)
{
    Open(FID_AM);
    Tick(4000);
    Send(FID_EXT_RIGHT, AEV_SHORTPRESS); // input starts the 5000 ms again
    Tick(4999);
    EXPECT_TRUE(IsOpen());
    EXPECT_TRUE(IxGetKernel()->IsTimerSet(popup, popup->CloseTimerId()));
    Tick(1);
    EXPECT_FALSE(IsOpen());
    EXPECT_TRUE(HandedOn().empty()); // the move alone switches nothing
}

TEST_F(ModePopupTest, TakingASourceHandsItOnAsTheNavigationStateAsks)
{
    const struct {
        const char* what;
        int lastView;
        int naviState;
        BOOL tilt;
        int action;
        int kind;
        std::vector<Recorder::Heard> handedOn;
    } cases[] = {
        {"touch another source", FID_FM, 0, FALSE, 13908, AEV_DEFAULT, {{FID_MUSIC, 0}}},
        {"touch the current source", FID_MUSIC, 0, FALSE, 13908, AEV_DEFAULT, {}},
        {"enter on the highlight", FID_DMB, 0, FALSE, FID_EXT_ENTER, AEV_SHORTPRESS, {}},
        {"mode key held takes the next", FID_DMB, 1, FALSE, FID_EXT_MODEKEY, AEV_LONGPRESS, {}},
        {"close without a change", FID_FM, 0, FALSE, FID_EXT_MODECLOSE, AEV_DEFAULT, {}},
        {"map beside: the program first", FID_FM, 3, FALSE, 13910, AEV_DEFAULT, {{FID_EXT_VC_SHOWVIEW, FID_AUX}}},
        {"map beside, no change", FID_AUX, 3, FALSE, 13910, AEV_DEFAULT, {{FID_EXT_VC_SHOWVIEW, 0}}},
        {"map full: colour key only", FID_FM, 2, FALSE, 13903, AEV_DEFAULT, {}},
        {"tilt screen up: nothing", FID_FM, 0, TRUE, 13903, AEV_DEFAULT, {}},
    };
    for (const auto& c : cases) {
        Open(c.lastView, c.naviState);
        popup->tilt = c.tilt;
        if (c.action == FID_EXT_MODEKEY)
            ModeKey(c.kind);
        else
            Send(c.action, c.kind);
        Pump();
        EXPECT_FALSE(IsOpen()) << c.what;
        EXPECT_EQ(HandedOn(), c.handedOn) << c.what;
        recorder->heard.clear();
        if (IsOpen())
            frame->PopLayer(FID_MODEPOPUP);
        Pump();
    }
}

TEST_F(ModePopupTest, EnterOnAnotherSourceSwitchesToIt)
{
    Open(FID_FM);
    Send(FID_EXT_RIGHT, AEV_SHORTPRESS);
    Send(FID_EXT_ROWDOWN, AEV_SHORTPRESS);
    Send(FID_EXT_ENTER, AEV_SHORTPRESS);
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(HandedOn(), (std::vector<Recorder::Heard>{{FID_DAB, 0}}));
}

TEST_F(ModePopupTest, OneSourceHighlighted)
{
    Open(FID_MUSIC);
    Send(FID_EXT_RIGHT, AEV_SHORTPRESS);
    EXPECT_EQ(Pressed(), std::vector<int>{8});
    EXPECT_TRUE(screenshot::MatchesReference(Capture()));
}

} // namespace
