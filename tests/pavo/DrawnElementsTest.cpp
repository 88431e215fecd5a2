// The drawn elements, the labels, the slider bar and the state buttons,
// through the kernel frame: exact screenshots of their states, what they
// repaint, and their input and timers on the manual clock.
#include "Lib_cpp/controls/ImageElement.h"
#include "Lib_cpp/controls/SliderBar.h"
#include "Lib_cpp/controls/StateButton.h"
#include "Lib_cpp/controls/TextLabel.h"
#include "Lib_cpp/image/Image.h"
#include "platform/base/Clock.h"
#include "platform/base/Rect.h"
#include "tests/common/ActionListener.h"
#include "tests/common/ColorFrames.h"
#include "tests/common/FrameScreenshot.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace frametest;

// The colour frames of the shared test picture, counting the unloads it is
// asked for.
class SwatchImage : public ColorFrames {
public:
    using ColorFrames::ColorFrames;
    BOOL Control(int command, INT_PTR argument) override
    {
        if (command != IXIC_UNLOAD)
            return ColorFrames::Control(command, argument);
        ++unloads;
        return TRUE;
    }
    int unloads = 0;
};

// The six state colours of the buttons' backgrounds: normal, pressed,
// disabled, selected, selected and pressed, current.
const std::vector<COLORREF> kStateColours
    = {RGB(70, 80, 96), RGB(30, 36, 48), RGB(110, 110, 110), RGB(30, 110, 200), RGB(20, 70, 140), RGB(230, 140, 30)};
// Normal, pressed, disabled: the frames of the slider's parts.
const std::vector<COLORREF> kPartColours = {RGB(200, 200, 210), RGB(255, 200, 40), RGB(120, 120, 120)};

// Fonts of the frame's table.
enum : int { kWhite, kYellow, kGrey, kCyan, kPaleCyan, kOrange, kLarge };

IxImage* StateRef(IxImage* inner)
{
    return new IxImageRef(inner, nullptr);
}

IxElementParams Params(int id, RECT rc, DWORD flags = 0)
{
    IxElementParams params;
    params.Clear();
    params.lContentValue = 0;
    params.Set(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, id, flags);
    return params;
}

class DrawnElementsTest : public FrameScreenshotTest {
protected:
    void SetUp() override
    {
        FrameScreenshotTest::SetUp();
        static IX_STATIC_STRING(kFace, u"NanumGothic");
        IxFontTable& fonts = frame->GetFontTable();
        for (COLORREF c : {RGB(255, 255, 255), RGB(255, 220, 0), RGB(150, 150, 150), RGB(120, 220, 255),
                           RGB(200, 240, 255), RGB(255, 160, 40)})
            fonts.Add(IxFontEntry{IXFS_ANTIALIAS, -20, &kFace, c, nullptr});
        fonts.Add(IxFontEntry{IXFS_ANTIALIAS | IXFS_BOLD, -26, &kFace, RGB(255, 255, 255), nullptr});
        sheet = new Sheet(100, RECT{0, 0, 800, 480});
        // Laid out by the first paint.
        sheet->SetFlags(IXF_LAYOUTPENDING, 0);
    }
    void TearDown() override
    {
        ReleaseCapture();
        // A sheet that never became a layer is still the test's.
        if (!frame->IsLayerShown(sheet->GetId()))
            delete sheet;
        FrameScreenshotTest::TearDown();
    }
    template <class T>
    T* Place(T* element, int id, RECT rc, DWORD flags = 0, int kind = 0, LPARAM content = 0, int length = 0)
    {
        IxElementParams params = Params(id, rc, flags);
        params.nContentKind = kind;
        params.lContentValue = content;
        params.nContentLength = length;
        element->Create(&params);
        sheet->AddChild(element);
        return element;
    }
    // Shows the sheet as the screen and paints it.
    screenshot::Image Show() { return Render(sheet); }
    void Tick(int ms)
    {
        clock.Advance(static_cast<std::uint64_t>(ms));
        Pump();
    }
    // The window's pending update rectangle (empty when none).
    RECT UpdateRect()
    {
        frame->FlushPendingInvalidation();
        RECT rc{0, 0, 0, 0};
        GetUpdateRect(hwnd, &rc, FALSE);
        return rc;
    }

    platform::ManualClock clock{100000};
    Sheet* sheet = nullptr;
};

// ---------------------------------------------------------------------------
// State buttons

class StateButtonRow : public DrawnElementsTest {
protected:
    IxStateButton* AddButton(int id, int x, LPCWSTR text, int y = 60)
    {
        IxString label(text);
        auto* button = Place(new IxStateButton(1, 1), id, RECT{x, y, x + 124, y + 110}, IXF_HCENTER | IXF_VCENTER,
                             IXCONTENT_SHARESTRING, reinterpret_cast<LPARAM>(&label));
        button->SetProperty(IXP_BUTTONBACKGROUND,
                            reinterpret_cast<LPARAM>(StateRef(new SwatchImage(124, 110, kStateColours))));
        button->SetProperty(IXP_ICON, reinterpret_cast<LPARAM>(StateRef(new SwatchImage(36, 36, kPartColours))));
        RECT icon{44, 10, 36, 36};
        button->SetProperty(IXP_ICONRECT, reinterpret_cast<LPARAM>(&icon));
        RECT box{0, 56, 124, 46};
        button->SetProperty(IXP_TEXTRECT, reinterpret_cast<LPARAM>(&box));
        for (int property = IXP_FONT; property <= IXP_FONTSELECTEDPRESSED; ++property)
            button->SetProperty(property, kFontOf[property - IXP_FONT]);
        return button;
    }
    // By property: normal, disabled, current, pressed, selected, selected and pressed.
    static constexpr int kFontOf[6] = {kWhite, kGrey, kOrange, kYellow, kCyan, kPaleCyan};
};

TEST_F(StateButtonRow, EachOfTheSixStates)
{
    const LPCWSTR texts[] = {u"음악", u"라디오", u"설정", u"전화", u"DVD", u"Navi"};
    IxStateButton* buttons[6];
    for (int i = 0; i < 6; ++i)
        buttons[i] = AddButton(10 + i, 16 + i * 130, texts[i]);
    // Normal, pressed, disabled, selected, selected and pressed, current.
    buttons[1]->SetPressed(TRUE, FALSE);
    buttons[2]->Enable(FALSE, FALSE);
    buttons[3]->SetSelected(TRUE, FALSE);
    buttons[4]->SetSelected(TRUE, FALSE);
    buttons[4]->SetPressed(TRUE, FALSE);
    buttons[5]->SetCurrent(TRUE, FALSE);
    // List rows: normal, pressed, disabled (neither images nor text).
    for (int i = 0; i < 3; ++i) {
        IxString label(u"목록 항목");
        auto* row = Place(new IxItemButton(1, 1), 30 + i, RECT{16, 230 + i * 76, 420, 300 + i * 76}, IXF_VCENTER,
                          IXCONTENT_SHARESTRING, reinterpret_cast<LPARAM>(&label));
        row->SetProperty(IXP_BUTTONBACKGROUND,
                         reinterpret_cast<LPARAM>(StateRef(new SwatchImage(404, 70, kStateColours))));
        row->SetProperty(IXP_ICON, reinterpret_cast<LPARAM>(StateRef(new SwatchImage(40, 40, kPartColours))));
        RECT icon{14, 15, 40, 40};
        row->SetProperty(IXP_ICONRECT, reinterpret_cast<LPARAM>(&icon));
        RECT text{70, 0, 320, 70};
        row->SetProperty(IXP_TEXTRECT, reinterpret_cast<LPARAM>(&text));
        row->SetProperty(IXP_FONT, kWhite);
        row->SetProperty(IXP_FONTPRESSED, kYellow);
        if (i == 1)
            row->SetPressed(TRUE, FALSE);
        if (i == 2)
            row->Enable(FALSE, FALSE);
    }
    EXPECT_TRUE(screenshot::MatchesReference(Show()));

    // The state's font, in the order disabled, current, selected (and
    // pressed), pressed, normal.
    const int fonts[] = {kWhite, kYellow, kGrey, kCyan, kPaleCyan, kOrange};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(buttons[i]->GetFont(), fonts[i]) << i;
}

TEST_F(StateButtonRow, FontFallsThroughTheStatesThatHaveNone)
{
    // {flags, fonts given (normal, disabled, current, pressed, selected,
    // selected+pressed), expected}
    struct Case {
        DWORD flags;
        int fonts[6];
        int expected;
    } cases[] = {
        {IXF_DISABLED | IXF_SELECTED | IXF_PRESSED, {0, 2, 5, 1, 3, 4}, 2},
        {IXF_NOINPUT, {0, 2, -1, 1, 3, 4}, 2},
        {IXF_DISABLED | IXF_CURRENT, {0, -1, 5, 1, 3, 4}, 5},
        {IXF_DISABLED | IXF_SELECTED, {0, -1, -1, 1, 3, 4}, 3},
        {IXF_SELECTED | IXF_PRESSED, {0, -1, -1, 1, 3, -1}, 3},
        {IXF_SELECTED | IXF_PRESSED, {0, -1, -1, 1, -1, -1}, 1},
        {IXF_PRESSED, {0, -1, -1, -1, -1, -1}, 0},
        {IXF_CURRENT | IXF_PRESSED, {0, -1, 5, 1, -1, -1}, 5},
    };
    for (const Case& c : cases) {
        IxStateButton button(1, 1);
        for (int i = 0; i < 6; ++i)
            button.SetProperty(IXP_FONT + i, c.fonts[i]);
        button.SetFlags(c.flags, 0);
        button.OnEvent(IXEV_PRESSED, FALSE);
        EXPECT_EQ(button.GetFont(), c.expected) << std::hex << c.flags;
    }
}

TEST_F(StateButtonRow, HitsClicksAndTexts)
{
    IxStateButton* button = AddButton(210, 100, u"음악");
    IxStateButton* empty = Place(new IxStateButton(1, 1), 11, RECT{400, 60, 520, 170});
    RECT text{10, 20, 100, 40};
    empty->SetProperty(IXP_TEXTRECT, reinterpret_cast<LPARAM>(&text));
    Show();
    ActionListener clicks(210);

    // Without text or overlay the box is the empty point in the middle of
    // the text rectangle: nothing else of the button is hit.
    EXPECT_EQ(empty->GetTextBox().left, 60);
    EXPECT_EQ(empty->GetTextBox().top, 40);
    EXPECT_EQ(empty->FindTarget(IXIN_DOWN, POINT{5, 5}), nullptr);
    EXPECT_EQ(empty->FindTarget(IXIN_DOWN, POINT{60, 40}), empty);
    empty->SetFlags(IXF_HITCLIENT, 0);
    EXPECT_EQ(empty->FindTarget(IXIN_DOWN, POINT{5, 5}), empty);
    EXPECT_EQ(empty->FindTarget(IXIN_NOHIT, POINT{5, 5}), nullptr);

    // The icon, the text box, the rest (edges count as inside).
    const RECT box = button->GetTextBox();
    button->ClickAt(POINT{44 + 36, 10 + 36}, FALSE);
    button->ClickAt(POINT{box.left, box.bottom}, FALSE);
    button->ClickAt(POINT{2, 2}, FALSE);
    frame->DrainEventQueue();
    EXPECT_EQ(clicks.heard,
              (std::vector<ActionListener::Heard>{
                  {210, AEV_CLICK, IxStateButton::CLICK_ICON},
                  {210, AEV_CLICK, IxStateButton::CLICK_TEXT},
                  {210, AEV_CLICK, IxStateButton::CLICK_NONE},
              }));

    // The same text again changes nothing; a new one answers 1; the text
    // queries share and append it.
    IxString same(u"음악");
    EXPECT_EQ(button->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&same)), 0);
    EXPECT_TRUE(platform::IsEmpty(UpdateRect()));
    IxArray<WCHAR> chars;
    chars.Insert(0, u"설정", 2);
    EXPECT_EQ(button->SetProperty(IXP_TEXTCHARSNOW, reinterpret_cast<LPARAM>(&chars)), 1);
    EXPECT_EQ(button->SetProperty(IXP_TEXTCHARSLATER, reinterpret_cast<LPARAM>(&chars)), 0);
    IxString shared;
    button->Query(IXQ_SHARETEXT, reinterpret_cast<LPARAM*>(&shared));
    EXPECT_TRUE(shared.Equals(u"설정"));
    button->Query(IXQ_APPENDTEXT, reinterpret_cast<LPARAM*>(&chars));
    EXPECT_EQ(chars.Count(), 4);
}

TEST_F(StateButtonRow, PressedRowRepaintsWholeAndAnIconFrameOnlyItsRectangle)
{
    auto* row = Place(new IxItemButton(1, 1), 30, RECT{16, 230, 420, 300});
    row->SetProperty(IXP_BUTTONBACKGROUND, reinterpret_cast<LPARAM>(StateRef(new SwatchImage(404, 70, kStateColours))));
    row->SetProperty(IXP_ICON, reinterpret_cast<LPARAM>(StateRef(new SwatchImage(40, 40, kPartColours))));
    RECT icon{14, 15, 40, 40};
    row->SetProperty(IXP_ICONRECT, reinterpret_cast<LPARAM>(&icon));
    Show();
    ValidateRect(hwnd, nullptr);

    row->SetPressed(TRUE, TRUE);
    RECT whole{16, 230, 420, 300};
    EXPECT_FALSE(RectsDiffer(UpdateRect(), whole));
    Pump();

    row->SetProperty(IXP_ICONFRAME, 1);
    RECT iconOnScreen{30, 245, 70, 285};
    EXPECT_FALSE(RectsDiffer(UpdateRect(), iconOnScreen));
    Pump();
    // An unchanged frame id repaints nothing.
    row->SetProperty(IXP_ICONFRAME, 1);
    EXPECT_TRUE(platform::IsEmpty(UpdateRect()));
}

// ---------------------------------------------------------------------------
// Labels

TEST_F(DrawnElementsTest, LabelWhoseColourAloneChangesRepaintsOnlyItsText)
{
    IxString text(u"블루투스 연결됨");
    auto* label = Place(new IxStateTextLabel, 20, RECT{100, 200, 700, 260}, IXF_HCENTER | IXF_VCENTER,
                        IXCONTENT_SHARESTRING, reinterpret_cast<LPARAM>(&text));
    label->SetProperty(IXP_FONT, kWhite);
    label->SetProperty(IXP_FONTPRESSED, kYellow);
    label->SetProperty(IXP_FONTSELECTED, kLarge);
    EXPECT_TRUE(screenshot::MatchesReference(Show()));
    ValidateRect(hwnd, nullptr);

    const RECT box = label->GetTextRect();
    EXPECT_GT(box.right - box.left, 100);
    label->SetPressed(TRUE, TRUE);
    const RECT expected = platform::Offset(box, 100, 200);
    EXPECT_FALSE(RectsDiffer(UpdateRect(), expected));
    Pump();
    EXPECT_TRUE(screenshot::ScreenMatchesReference("LabelPressed"));

    // Another face or size lays the label out again and repaints all of it.
    label->SetPressed(FALSE, FALSE);
    label->SetSelected(TRUE, TRUE);
    EXPECT_FALSE(RectsDiffer(UpdateRect(), RECT{100, 200, 700, 260}));
    Pump();
    EXPECT_GT(label->GetTextRect().right - label->GetTextRect().left, box.right - box.left);
}

TEST_F(DrawnElementsTest, LabelTextPropertiesAnswerWhetherTheTextChanged)
{
    auto* label = Place(new IxStaticText, 21, RECT{10, 10, 300, 50});
    label->SetProperty(IXP_FONT, kWhite);
    Show();
    ValidateRect(hwnd, nullptr);

    IxString empty;
    EXPECT_EQ(label->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&empty)), 0);
    EXPECT_EQ(label->SetProperty(IXP_TEXTNOW, 0), 0);
    IxString text(u"FM 89.1");
    EXPECT_EQ(label->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&text)), 1);
    Pump();
    EXPECT_EQ(label->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&text)), 0);
    EXPECT_TRUE(platform::IsEmpty(UpdateRect()));
    // Cleared: the box has no width.
    EXPECT_EQ(label->SetProperty(IXP_TEXTLATER, 0), 1);
    EXPECT_TRUE(platform::IsEmpty(UpdateRect()));
    label->ValidateNow(0);
    EXPECT_EQ(label->GetTextRect().right, label->GetTextRect().left);
}

// ---------------------------------------------------------------------------
// Image elements

TEST_F(DrawnElementsTest, StaticImagesAndTextsClickAtThePressWithoutTracking)
{
    auto* image = Place(new IxStaticImage, 40, RECT{10, 10, 110, 110}, IXF_HITCLIENT, IXCONTENT_IMAGE,
                        reinterpret_cast<LPARAM>(new SwatchImage(100, 100, kPartColours)));
    IxString text(u"AUX");
    auto* label = Place(new IxStaticText, 41, RECT{200, 10, 300, 60}, IXF_HITCLIENT, IXCONTENT_SHARESTRING,
                        reinterpret_cast<LPARAM>(&text));
    // Without the hit-testable flag a static element is no target.
    Place(new IxStaticImage, 42, RECT{400, 10, 500, 110}, 0, IXCONTENT_IMAGE,
          reinterpret_cast<LPARAM>(new SwatchImage(100, 100, kPartColours)));
    Show();
    ActionListener first(40), second(41), third(42);

    Down(50, 50);
    EXPECT_EQ(frame->GetGestureMode(), IXGM_NONE);
    EXPECT_FALSE(image->HasFlag(IXF_PRESSED));
    Up(50, 50);
    Down(250, 30);
    EXPECT_EQ(frame->GetGestureMode(), IXGM_NONE);
    EXPECT_FALSE(label->HasFlag(IXF_PRESSED));
    Up(250, 30);
    Down(450, 50);
    Up(450, 50);
    EXPECT_EQ(first.heard, (std::vector<ActionListener::Heard>{{40, AEV_CLICK, 0}}));
    EXPECT_EQ(second.heard, (std::vector<ActionListener::Heard>{{41, AEV_CLICK, 0}}));
    EXPECT_TRUE(third.heard.empty());
}

TEST_F(DrawnElementsTest, ToggleFlipsItsSelectionAndCyclesFourFrames)
{
    // Normal, pressed, -, selected, selected and pressed, -.
    const int table[6] = {0, 1, -1, 2, 3, -1};
    auto* swatch = new SwatchImage(80, 60, {RGB(60, 60, 60), RGB(20, 20, 20), RGB(0, 120, 220), RGB(0, 60, 110)});
    auto* toggle = Place(new IxToggleImage(table), 50, RECT{100, 100, 180, 160}, 0, IXCONTENT_IMAGE,
                         reinterpret_cast<LPARAM>(swatch));
    Show();
    ActionListener clicks(50);
    EXPECT_EQ(swatch->Current(), 0);

    // {frame while held, frame after, value reported}
    const int steps[][3] = {{1, 2, 1}, {3, 0, 0}, {1, 2, 1}};
    for (const auto& step : steps) {
        Down(140, 130);
        EXPECT_EQ(swatch->Current(), step[0]);
        Up(140, 130);
        EXPECT_EQ(swatch->Current(), step[1]);
        EXPECT_EQ(toggle->Query(IXQ_CURFRAME, nullptr), step[2]);
        ASSERT_FALSE(clicks.heard.empty());
        EXPECT_EQ(clicks.heard.back(), (ActionListener::Heard{50, AEV_CLICK, step[2]}));
    }
    // The property: -1 toggles, 0 and 1 set, other values are refused.
    EXPECT_EQ(toggle->SetProperty(IXP_FRAME, -1), 1);
    EXPECT_EQ(swatch->Current(), 0);
    EXPECT_EQ(toggle->SetProperty(IXP_FRAME, 1), 1);
    EXPECT_EQ(swatch->Current(), 2);
    EXPECT_EQ(toggle->SetProperty(IXP_FRAME, 2), 0);
    // A marked toggle reports without flipping; marking drops its pictures.
    toggle->SetUnmarked(FALSE, FALSE);
    EXPECT_EQ(swatch->unloads, 1);
    toggle->Click(0, FALSE);
    frame->DrainEventQueue();
    EXPECT_TRUE(toggle->HasFlag(IXF_SELECTED));
    EXPECT_EQ(clicks.heard.back(), (ActionListener::Heard{50, AEV_CLICK, 1}));
}

TEST_F(DrawnElementsTest, StateImageShowsTheStateByIndexAndTheCurrentLookAsOverlay)
{
    // Six frames: the default table maps state n to frame n.
    auto* swatch = new SwatchImage(60, 60, kStateColours);
    auto* button = Place(new IxStateImage(IxDefaultStates{}), 60, RECT{10, 10, -1, -1}, 0, IXCONTENT_IMAGE,
                         reinterpret_cast<LPARAM>(swatch));
    Show();
    // A negative size takes the picture's.
    EXPECT_EQ(button->Width(), 60);
    EXPECT_EQ(button->Height(), 60);
    for (int state = 0; state < 6; ++state) {
        EXPECT_EQ(button->SetProperty(IXP_FRAME, state), 1);
        EXPECT_EQ(swatch->Current(), state);
    }
    EXPECT_EQ(button->SetProperty(IXP_FRAME, 6), 0);

    // The current item shows frame 5.
    button->SetProperty(IXP_FRAME, 0);
    button->SetCurrent(TRUE, TRUE);
    Pump();
    EXPECT_EQ(swatch->Current(), 5);
    EXPECT_EQ(At(30, 30), Px(kStateColours[5]));
}

TEST_F(DrawnElementsTest, MultiImageStepsThroughItsList)
{
    IxArray<IxImage*> images;
    for (COLORREF c : {kStateColours[0], kStateColours[3], kStateColours[5]})
        images.Add(new SwatchImage(40, 40, {c}));
    auto* multi
        = Place(new IxMultiImage, 70, RECT{10, 10, 50, 50}, 0, IXCONTENT_IMAGEARRAY, reinterpret_cast<LPARAM>(&images));
    for (int i = 0; i < images.Count(); ++i)
        images[i]->Release();
    Show();
    EXPECT_EQ(multi->Query(IXQ_CURFRAME, nullptr), -1);

    // {property value, answer, index shown}
    const int steps[][3] = {{IXFRAME_NEXT, 1, 0}, {IXFRAME_NEXT, 1, 1},     {IXFRAME_NEXT, 1, 2},
                            {IXFRAME_NEXT, 1, 0}, {IXFRAME_PREVIOUS, 1, 2}, {2, 0, 2},
                            {7, 1, -1},           {IXFRAME_PREVIOUS, 1, 2}};
    for (const auto& step : steps) {
        EXPECT_EQ(multi->SetProperty(IXP_FRAME, step[0]), step[1]) << step[0];
        EXPECT_EQ(multi->Query(IXQ_CURFRAME, nullptr), step[2]);
    }
    Pump();
    EXPECT_EQ(At(30, 30), Px(kStateColours[5]));

    IxMultiImage single;
    single.AddImage(new SwatchImage(10, 10, {RGB(255, 255, 255)}));
    EXPECT_EQ(single.SetProperty(IXP_FRAME, IXFRAME_NEXT), 0);
}

// ---------------------------------------------------------------------------
// Slider bar

class SliderBarTest : public DrawnElementsTest {
protected:
    // A horizontal bar of 400 x 40 at y: 40 px buttons at both ends, a
    // 320 px track and a 20 px thumb (travel 300 px), range 100.
    IxSliderBar* AddSlider(int id, int y, int value, int repeatMs = 100, int accelerationMs = 300, int fastStep = 10)
    {
        auto* bar = Place(new IxSliderBar(FALSE, 15, repeatMs, accelerationMs, fastStep), id, RECT{200, y, 600, y + 40},
                          IXF_HITCLIENT);
        bar->SetProperty(IXP_SLIDERTRACK, reinterpret_cast<LPARAM>(new SwatchImage(320, 12, kPartColours)));
        bar->SetProperty(IXP_SLIDERTHUMB, reinterpret_cast<LPARAM>(new SwatchImage(20, 36, kPartColours)));
        bar->SetProperty(IXP_SLIDERDECREASE, reinterpret_cast<LPARAM>(new SwatchImage(40, 40, kPartColours)));
        bar->SetProperty(IXP_SLIDERINCREASE, reinterpret_cast<LPARAM>(new SwatchImage(40, 40, kPartColours)));
        bar->SetProperty(IXP_SLIDERRANGEVALUE, (value << 16) | 100);
        return bar;
    }
    static std::vector<LPARAM> Values(const ActionListener& listener)
    {
        std::vector<LPARAM> values;
        for (const auto& heard : listener.heard)
            if (heard.kind == AEV_CLICK)
                values.push_back(heard.value);
        return values;
    }
};

TEST_F(SliderBarTest, AtMinimumMiddleAndMaximum)
{
    IxSliderBar* bars[] = {AddSlider(501, 100, 0), AddSlider(502, 200, 50), AddSlider(503, 300, 100)};
    IxSliderBar* empty = AddSlider(504, 400, 0);
    empty->SetProperty(IXP_SLIDERNORANGE, 0);
    EXPECT_TRUE(screenshot::MatchesReference(Show()));
    // The thumb travels from 40 to 340 (element coordinates).
    const int left[] = {40, 190, 340};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(bars[i]->GetPartRect(IxSliderBar::PART_THUMB).left, left[i]);
}

TEST_F(SliderBarTest, HeldButtonRepeatsAndSpeedsUpAfterTheDelay)
{
    IxSliderBar* bar = AddSlider(505, 200, 60);
    Show();
    ActionListener listener(505);

    Down(220, 220); // the decrease button
    EXPECT_EQ(bar->GetValue(), 59);
    EXPECT_EQ(bar->GetPressedPart(), IxSliderBar::PART_DECREASE);
    // {ms, value after}: 1 per 100 ms until the press is older than 300 ms,
    // then the fast step.
    const int steps[][2]
        = {{100, 58}, {100, 57}, {100, 56}, {100, 46}, {100, 36}, {100, 26}, {100, 16}, {100, 6}, {100, 0}, {100, 0}};
    for (const auto& step : steps) {
        Tick(step[0]);
        EXPECT_EQ(bar->GetValue(), step[1]);
    }
    Up(220, 220);
    Tick(500);
    EXPECT_EQ(bar->GetValue(), 0);
    EXPECT_EQ(bar->GetPressedPart(), IxSliderBar::PART_NONE);
    EXPECT_EQ(Values(listener), std::vector<LPARAM>(10, IxSliderBar::STEP_DOWN));
    EXPECT_EQ(listener.heard.front().kind, AEV_PRESSED);
    EXPECT_EQ(listener.heard.back().kind, AEV_RELEASEDINSIDE);

    // Up, with acceleration at once (delay 0) and never (-1).
    IxSliderBar* now = AddSlider(506, 300, 10, 100, 0, 25);
    IxSliderBar* never = AddSlider(507, 400, 10, 100, -1, 25);
    sheet->ValidateNow(0);
    Down(580, 320);
    Tick(100);
    Up(580, 320);
    EXPECT_EQ(now->GetValue(), 60);
    Down(580, 420);
    for (int i = 0; i < 10; ++i)
        Tick(100);
    Up(580, 420);
    EXPECT_EQ(never->GetValue(), 21);
}

TEST_F(SliderBarTest, QuickTapOnAButtonStepsOnceAndStops)
{
    IxSliderBar* bar = AddSlider(508, 200, 50);
    Show();
    Down(580, 220);
    Up(580, 220); // a tap: the kernel hands the element a quick tap
    EXPECT_EQ(bar->GetPressedPart(), IxSliderBar::PART_NONE);
    Tick(1000);
    EXPECT_EQ(bar->GetValue(), 51);
}

TEST_F(SliderBarTest, TrackStepsTowardThePointerAndTheThumbFollowsADrag)
{
    IxSliderBar* bar = AddSlider(509, 200, 50);
    Show();
    ActionListener listener(509);

    // The track right of the thumb (x 500: the thumb ends there at 80): at
    // most 15 per step, then the rest, then nothing once under the thumb.
    Down(500, 220);
    EXPECT_EQ(bar->GetValue(), 65);
    Tick(100);
    EXPECT_EQ(bar->GetValue(), 80);
    Tick(100);
    EXPECT_EQ(bar->GetValue(), 80);
    Up(500, 220);
    listener.heard.clear();

    // The thumb: from 80 (left 280 of a travel of 300 from 40) dragged by
    // 30 px, 6 px more, then far out on both sides.
    const int thumb = 200 + bar->GetPartRect(IxSliderBar::PART_THUMB).left + 10;
    Down(thumb, 220);
    const int moves[][2] = {{-30, 70}, {-36, 68}, {-400, 0}, {600, 100}};
    for (const auto& move : moves) {
        Move(thumb + move[0], 220);
        EXPECT_EQ(bar->GetValue(), move[1]) << move[0];
    }
    Up(thumb + 600, 220);
    EXPECT_EQ(Values(listener), (std::vector<LPARAM>{0, 0, 0, 0}));
}

TEST_F(SliderBarTest, DisabledPartsShowTheirThirdFrame)
{
    IxSliderBar* bar = AddSlider(510, 200, 50);
    Show();
    bar->Enable(FALSE, TRUE);
    Pump();
    EXPECT_EQ(At(220, 220), Px(kPartColours[2]));
    Down(220, 220);
    EXPECT_EQ(bar->GetValue(), 50);
    Up(220, 220);
    bar->Enable(TRUE, TRUE);
    Pump();
    EXPECT_EQ(At(220, 220), Px(kPartColours[0]));
}

} // namespace
