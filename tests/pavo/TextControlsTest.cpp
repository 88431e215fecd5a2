// The text controls: the marquee label's steps on the manual clock and its
// ellipsis, the one-line field's editing (records, keys, filter, limit),
// the multi-line view's line table (breaks, word and character wrap,
// editing) and its scroll bars, and a screenshot of them together.
#include "Lib_cpp/controls/MarqueeText.h"
#include "Lib_cpp/controls/MultiLineText.h"
#include "Lib_cpp/controls/SliderBar.h"
#include "Lib_cpp/controls/TextEdit.h"
#include "Lib_cpp/image/Image.h"
#include "platform/base/Clock.h"
#include "platform/base/Rect.h"
#include "tests/common/ActionListener.h"
#include "tests/common/FrameScreenshot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace frametest;

// Fonts of the frame's table.
enum : int { kWhite, kYellow, kTitle };

constexpr int kEditId = 30;

IxElementParams Params(int id, RECT rc, DWORD flags = 0)
{
    IxElementParams params;
    params.Clear();
    params.lContentValue = 0;
    params.Set(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, id, flags);
    return params;
}

std::u16string TextOf(IxElement* element)
{
    IxArray<WCHAR> chars(16);
    element->Query(IXQ_APPENDTEXT, reinterpret_cast<LPARAM*>(&chars));
    return std::u16string(chars.Data() ? chars.Data() : u"", static_cast<size_t>(chars.Count()));
}

// A picture to put text over: bands of colour from dusk blue to orange.
class DuskPicture : public IxElement {
public:
    void Draw(IxPaintRecord* record) override
    {
        for (int y = 0; y < Height(); y += 6) {
            const int t = y * 255 / std::max(Height(), 1);
            HBRUSH brush = CreateSolidBrush(RGB(40 + t * 3 / 4, 50 + t / 3, 140 - t / 2));
            RECT band{0, y, Width(), std::min(y + 6, Height())};
            FillRect(record->dc->GetDC(), &band, brush);
            DeleteObject(brush);
        }
    }
};

class TextControlsTest : public FrameScreenshotTest {
protected:
    void SetUp() override
    {
        FrameScreenshotTest::SetUp();
        static IX_STATIC_STRING(kFace, u"NanumGothic");
        IxFontTable& fonts = frame->GetFontTable();
        fonts.Add(IxFontEntry{IXFS_ANTIALIAS, -20, &kFace, RGB(255, 255, 255), nullptr});
        fonts.Add(IxFontEntry{IXFS_ANTIALIAS, -20, &kFace, RGB(255, 220, 0), nullptr});
        fonts.Add(IxFontEntry{IXFS_ANTIALIAS | IXFS_BOLD, -30, &kFace, RGB(255, 255, 255), nullptr});
        sheet = new Sheet(100, RECT{0, 0, 800, 480});
        sheet->SetFlags(IXF_LAYOUTPENDING, 0);
    }
    void TearDown() override
    {
        platform::DeliverKey(VK_SHIFT, false, 0);
        ReleaseCapture();
        if (!frame->IsLayerShown(sheet->GetId()))
            delete sheet;
        FrameScreenshotTest::TearDown();
    }
    template <class T> T* Place(T* element, int id, RECT rc, DWORD flags = 0, LPCWSTR text = nullptr)
    {
        IxElementParams params = Params(id, rc, flags);
        IxString string(text ? text : u"");
        if (text) {
            params.nContentKind = IXCONTENT_SHARESTRING;
            params.lContentValue = reinterpret_cast<LPARAM>(&string);
        }
        element->Create(&params);
        sheet->AddChild(element);
        return element;
    }
    screenshot::Image Show() { return Render(sheet); }
    // Moves the clock on in slices of 10 ms, so that every period of a
    // repeating timer comes in (a window timer fires once per pump).
    void Tick(int ms)
    {
        for (; ms > 0; ms -= 10) {
            clock.Advance(static_cast<std::uint64_t>(std::min(ms, 10)));
            Pump();
        }
    }
    // Runs f as a handler of the frame runs: inside a busy bracket, whose
    // end carries out the timers and notices that f requested.
    template <class F> void InBracket(F f)
    {
        IxBusyScope busy(frame);
        f();
    }
    void Shift(bool down)
    {
        platform::DeliverKey(VK_SHIFT, down, 0);
        Pump();
    }
    // A text record through the frame, as the soft keyboard sends it.
    void Record(int kind, const std::u16string& text, int replace = 0)
    {
        IxTextInput input{kind, text.data(), static_cast<int>(text.size()), replace};
        frame->OnTextInput(&input);
        Pump();
    }
    void Key(UINT key)
    {
        frame->OnKeyDown(key);
        Pump();
    }

    platform::ManualClock clock{100000};
    Sheet* sheet = nullptr;
};

// ---------------------------------------------------------------------------
// Marquee label

using MarqueeTest = TextControlsTest;

TEST_F(MarqueeTest, StepsOnTheClockWrapsAfterACycleAndStopsWhenHidden)
{
    auto* label = Place(new IxMarqueeText(1000, 100, 30, 10, 0), 10, RECT{100, 100, 300, 140}, IXF_VCENTER,
                        u"Bohemian Rhapsody - Queen (Remastered 2011)");
    label->SetProperty(IXP_FONT, kWhite);
    Show();
    const int width = label->GetTextWidth();
    ASSERT_GT(width, 200);
    const int cycle = width + 30;

    // Time after the start -> offset: the start delay, then one step of 10
    // px every 100 ms.
    struct Row {
        int atMs;
        int offset;
    };
    const Row rows[] = {{0, -1}, {999, -1}, {1000, 10}, {1099, 10}, {1100, 20}, {1500, 60}};
    int now = 0;
    for (const Row& row : rows) {
        Tick(row.atMs - now);
        now = row.atMs;
        EXPECT_EQ(label->GetOffset(), row.offset) << "at " << row.atMs << " ms";
    }
    // It grows until it reaches a whole cycle, then one step later starts
    // again at 0.
    const int stepsToCycle = (cycle + 9) / 10 - 6;
    Tick(stepsToCycle * 100);
    EXPECT_GE(label->GetOffset(), cycle);
    EXPECT_LT(label->GetOffset(), cycle + 10);
    Tick(100);
    EXPECT_EQ(label->GetOffset(), 0);
    Tick(300);
    EXPECT_EQ(label->GetOffset(), 30);

    // Hidden: no timer, the offset stays; shown again it goes on from there.
    InBracket([&] { label->Show(FALSE, TRUE); });
    EXPECT_FALSE(label->IsScrolling());
    Tick(1000);
    EXPECT_EQ(label->GetOffset(), 30);
    InBracket([&] { label->Show(TRUE, TRUE); });
    Tick(100);
    EXPECT_EQ(label->GetOffset(), 40);

    // The same text again changes nothing; a new one starts over.
    IxString same(u"Bohemian Rhapsody - Queen (Remastered 2011)");
    InBracket([&] { EXPECT_EQ(label->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&same)), 0); });
    EXPECT_EQ(label->GetOffset(), 40);
    IxString other(u"Don't Stop Me Now - Queen (Live at Wembley)");
    InBracket([&] { EXPECT_EQ(label->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&other)), 1); });
    EXPECT_EQ(label->GetOffset(), -1);
    Tick(999);
    EXPECT_EQ(label->GetOffset(), -1);
    Tick(1);
    EXPECT_EQ(label->GetOffset(), 10);

    // The mark (ellipsis) stops it at 0.
    InBracket([&] { label->SetUnmarked(FALSE, 0); });
    EXPECT_EQ(label->GetOffset(), 0);
    EXPECT_FALSE(label->IsScrolling());
    Tick(1000);
    EXPECT_EQ(label->GetOffset(), 0);
}

TEST_F(MarqueeTest, TextThatFitsNeverScrollsAndZeroDelayStepsAfterOnePeriod)
{
    auto* fits = Place(new IxMarqueeText(10, 100, 30, 10, 0), 10, RECT{0, 0, 700, 40}, 0, u"FM 89.1");
    fits->SetProperty(IXP_FONT, kWhite);
    auto* now = Place(new IxMarqueeText(0, 100, -1, 25, 0), 11, RECT{0, 50, 60, 90}, 0, u"USB 음악 폴더 01");
    now->SetProperty(IXP_FONT, kWhite);
    Show();
    EXPECT_FALSE(fits->IsScrolling());

    // Start delay 0: the first step comes one period after the start; with
    // gap -1 the text scrolls out and starts again once past its width.
    EXPECT_EQ(now->GetOffset(), -1);
    Tick(99);
    EXPECT_EQ(now->GetOffset(), -1);
    Tick(1);
    EXPECT_EQ(now->GetOffset(), 25);
    const int width = now->GetTextWidth();
    int steps = 1;
    while (now->GetOffset() != 0 && steps < 100) {
        Tick(100);
        ++steps;
    }
    EXPECT_EQ(steps, (width + 24) / 25 + 1);
    EXPECT_EQ(fits->GetOffset(), -1);
}

TEST_F(MarqueeTest, EllipsisKeepsWholeCharactersOfKoreanAndLatin)
{
    // Text, label width -> characters before "...".
    struct Row {
        const char16_t* text;
        int width;
        int shown;
    };
    const Row rows[] = {
        {u"Hotel California", 400, 16}, {u"Hotel California", 120, 11}, {u"Hotel California", 60, 3},
        {u"Hotel California", 20, 0},   {u"서울특별시 강남구", 400, 9}, {u"서울특별시 강남구", 120, 6},
        {u"서울특별시 강남구", 70, 2},  {u"서울특별시 강남구", 30, 0},
    };
    std::vector<IxMarqueeText*> labels;
    int y = 0;
    for (const Row& row : rows) {
        auto* label
            = Place(new IxMarqueeText(10, 100, 30, 10, 0), 10, RECT{0, y, row.width, y + 40}, IXF_MARKED, row.text);
        label->SetProperty(IXP_FONT, kWhite);
        labels.push_back(label);
        y += 50;
    }
    Show();
    for (size_t i = 0; i < labels.size(); ++i) {
        EXPECT_EQ(labels[i]->EllipsisCount(), rows[i].shown) << rows[i].width;
        EXPECT_FALSE(labels[i]->IsScrolling());
    }
}

// ---------------------------------------------------------------------------
// One-line field

class TextEditTest : public TextControlsTest {
protected:
    IxTextEdit* MakeEdit(const std::u16string& text, DWORD flags = IXF_CARETSHOWN)
    {
        listener = std::make_unique<ActionListener>(kEditId);
        auto* edit = Place(new IxTextEdit(20), kEditId, RECT{50, 50, 450, 90}, flags | IXF_VCENTER, text.c_str());
        edit->SetProperty(IXP_FONT, kWhite);
        Show();
        edit->SetFocus();
        Pump();
        return edit;
    }
    // The values of the field's notices so far (and forgets them).
    std::vector<LPARAM> Notices()
    {
        std::vector<LPARAM> values;
        for (const auto& heard : listener->heard)
            values.push_back(heard.value);
        listener->heard.clear();
        return values;
    }
    std::unique_ptr<ActionListener> listener;
};

// One step of an edit: a text record, a key, or a key with shift.
struct EditStep {
    enum Type { RECORD, KEY, SHIFTKEY } type;
    int kind;
    const char16_t* text;
    int replace;
};
EditStep Rec(int kind, const char16_t* text, int replace = 0)
{
    return EditStep{EditStep::RECORD, kind, text, replace};
}
EditStep Press(UINT key)
{
    return EditStep{EditStep::KEY, static_cast<int>(key), nullptr, 0};
}
EditStep ShiftPress(UINT key)
{
    return EditStep{EditStep::SHIFTKEY, static_cast<int>(key), nullptr, 0};
}

struct EditCase {
    const char* name;
    const char16_t* initial;
    int start, end; // the selection before the steps
    int filter, limit;
    std::vector<EditStep> steps;
    const char16_t* text;
    int caret, anchor, composition;
    std::vector<LPARAM> notices;
};

TEST_F(TextEditTest, EditingStepsGiveTextCaretAndNotices)
{
    using K = IxTextInput;
    const int none = IxTextEdit::kNoLimit;
    const EditCase cases[] = {
        {"insert at the caret", u"hello world", 5, 5, 0, none, {Rec(K::Plain, u"X")}, u"helloX world", 6, -1, 0, {12}},
        {"insert replaces the selection",
         u"hello world",
         0,
         5,
         0,
         none,
         {Rec(K::Plain, u"HI")},
         u"HI world",
         2,
         -1,
         0,
         {8}},
        {"replace count takes characters after the caret",
         u"hello",
         1,
         1,
         0,
         none,
         {Rec(K::Plain, u"E", 1)},
         u"hEllo",
         2,
         -1,
         0,
         {5}},
        {"composition start, update and commit",
         u"ab",
         2,
         2,
         0,
         none,
         {Rec(K::Insert, u"ㅎ"), Rec(K::ReplaceComposing, u"하"), Rec(K::ReplaceComposing, u"한"),
          Rec(K::CommitComposing, u"한", 1)},
         u"ab한",
         3,
         -1,
         0,
         {3, 3, 3, 3}},
        {"composition removed",
         u"ab",
         1,
         1,
         0,
         none,
         {Rec(K::Insert, u"ㄱ"), Rec(K::RemoveComposing, u"")},
         u"ab",
         1,
         -1,
         0,
         {3, 2}},
        {"digits filter refuses a record with a letter",
         u"010",
         3,
         3,
         1,
         none,
         {Rec(K::Plain, u"12a"), Rec(K::Plain, u"12")},
         u"01012",
         5,
         -1,
         0,
         {5}},
        {"other filters refuse everything", u"010", 3, 3, 2, none, {Rec(K::Plain, u"1")}, u"010", 3, -1, 0, {}},
        {"limit reached: negative notice, then refusal",
         u"abcd",
         4,
         4,
         0,
         5,
         {Rec(K::Plain, u"e"), Rec(K::Plain, u"f")},
         u"abcde",
         5,
         -1,
         0,
         {-5}},
        {"a record longer than the room left is refused whole",
         u"abcd",
         4,
         4,
         0,
         5,
         {Rec(K::Plain, u"ef")},
         u"abcd",
         4,
         -1,
         0,
         {}},
        {"a syllable composed at the limit is committed",
         u"abcd",
         4,
         4,
         0,
         5,
         {Rec(K::Insert, u"ㄱ"), Rec(K::CommitComposing, u"가", 1)},
         u"abcd가",
         5,
         -1,
         0,
         {-5, -5}},
        {"backspace at 0 does nothing", u"abc", 0, 0, 0, none, {Press(VK_BACK)}, u"abc", 0, -1, 0, {}},
        {"backspace and delete",
         u"abcdef",
         3,
         3,
         0,
         none,
         {Press(VK_BACK), Press(VK_DELETE)},
         u"abef",
         2,
         -1,
         0,
         {5, 4}},
        {"delete removes the selection", u"abcdef", 1, 4, 0, none, {Press(VK_DELETE)}, u"aef", 1, -1, 0, {3}},
        {"right collapses a selection to its right end",
         u"abcdef",
         1,
         4,
         0,
         none,
         {Press(VK_RIGHT)},
         u"abcdef",
         4,
         -1,
         0,
         {}},
        {"left collapses a selection to its left end",
         u"abcdef",
         4,
         1,
         0,
         none,
         {Press(VK_LEFT)},
         u"abcdef",
         1,
         -1,
         0,
         {}},
        {"shift extends, home and end",
         u"abcdef",
         3,
         3,
         0,
         none,
         {ShiftPress(VK_LEFT), ShiftPress(VK_LEFT), ShiftPress(VK_END)},
         u"abcdef",
         6,
         3,
         0,
         {}},
        {"home and end drop the selection", u"abcdef", 2, 4, 0, none, {Press(VK_HOME)}, u"abcdef", 0, -1, 0, {}},
        {"right at the end and left at 0 stay",
         u"ab",
         2,
         2,
         0,
         none,
         {Press(VK_RIGHT), Press(VK_HOME), Press(VK_LEFT)},
         u"ab",
         0,
         -1,
         0,
         {}},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto* edit = MakeEdit(c.initial);
        edit->SetFilter(c.filter);
        edit->SetLimit(c.limit);
        edit->SetSelection(c.start, c.end);
        Notices();
        for (const EditStep& step : c.steps) {
            if (step.type == EditStep::RECORD) {
                Record(step.kind, step.text, step.replace);
                continue;
            }
            if (step.type == EditStep::SHIFTKEY)
                Shift(true);
            Key(static_cast<UINT>(step.kind));
            if (step.type == EditStep::SHIFTKEY)
                Shift(false);
        }
        EXPECT_EQ(TextOf(edit), c.text);
        EXPECT_EQ(edit->GetCaret(), c.caret);
        EXPECT_EQ(edit->GetAnchor() == edit->GetCaret() ? -1 : edit->GetAnchor(), c.anchor);
        EXPECT_EQ(edit->GetCompositionLength(), c.composition);
        EXPECT_EQ(Notices(), c.notices);
        frame->PopAllLayers();
        Pump();
        sheet = new Sheet(100, RECT{0, 0, 800, 480});
        sheet->SetFlags(IXF_LAYOUTPENDING, 0);
    }
}

TEST_F(TextEditTest, RecordsAtTheEndOfTheTextAndPastItStayInside)
{
    using K = IxTextInput;
    const int none = IxTextEdit::kNoLimit;
    const EditCase cases[] = {
        {"composing over the end appends",
         u"abc",
         3,
         3,
         0,
         none,
         {Rec(K::ReplaceComposing, u"xyz")},
         u"abcxyz",
         3,
         -1,
         3,
         {6}},
        {"composing past the end writes over and appends the rest",
         u"abcd",
         2,
         2,
         0,
         none,
         {Rec(K::ReplaceComposing, u"wxyz")},
         u"abwxyz",
         2,
         -1,
         4,
         {6}},
        {"composing past the end within the limit only",
         u"abc",
         2,
         2,
         0,
         4,
         {Rec(K::ReplaceComposing, u"xyz")},
         u"abc",
         2,
         -1,
         0,
         {}},
        {"replace count past the end", u"abc", 3, 3, 0, none, {Rec(K::Plain, u"d", 5)}, u"abcd", 4, -1, 0, {4}},
        {"composing replace count past the end",
         u"abc",
         1,
         1,
         0,
         none,
         {Rec(K::Insert, u"Q", 9)},
         u"aQ",
         1,
         -1,
         1,
         {2}},
        {"removing a composition at the end",
         u"abc",
         3,
         3,
         0,
         none,
         {Rec(K::Insert, u"ㄱ"), Rec(K::RemoveComposing, u""), Rec(K::RemoveComposing, u"")},
         u"abc",
         3,
         -1,
         0,
         {4, 3, 3}},
        {"a count larger than the characters given is not read",
         u"ab",
         2,
         2,
         0,
         none,
         {Rec(K::Plain, u"")},
         u"ab",
         2,
         -1,
         0,
         {2}},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto* edit = MakeEdit(c.initial);
        edit->SetLimit(c.limit);
        edit->SetSelection(c.start, c.end);
        Notices();
        for (const EditStep& step : c.steps)
            Record(step.kind, step.text, step.replace);
        EXPECT_EQ(TextOf(edit), c.text);
        EXPECT_EQ(edit->GetCaret(), c.caret);
        EXPECT_EQ(edit->GetCompositionLength(), c.composition);
        EXPECT_EQ(Notices(), c.notices);
        frame->PopAllLayers();
        Pump();
        sheet = new Sheet(100, RECT{0, 0, 800, 480});
        sheet->SetFlags(IXF_LAYOUTPENDING, 0);
    }
}

TEST_F(TextEditTest, KeptCaretStaysInsideAShorterText)
{
    auto* edit = MakeEdit(u"hello world", IXF_CARETSHOWN | IXF_MARKED);
    edit->SetSelection(11, 11);
    frame->SetFocus(nullptr);
    EXPECT_EQ(edit->GetCaret(), 11); // kept by the mark
    IxString shorter(u"hi");
    edit->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&shorter));
    EXPECT_EQ(edit->GetCaret(), 2);
    Record(IxTextInput::ReplaceComposing, u"!?");
    EXPECT_EQ(TextOf(edit), u"hi!?");
}

TEST_F(TextEditTest, FocusTouchDoubleTapAndScrollIntoView)
{
    // A right-aligned field takes its caret at the end.
    auto* right = MakeEdit(u"0101234", IXF_CARETSHOWN | IXF_HEND);
    EXPECT_EQ(right->GetCaret(), 7);
    frame->PopAllLayers();
    sheet = new Sheet(100, RECT{0, 0, 800, 480});
    sheet->SetFlags(IXF_LAYOUTPENDING, 0);

    auto* edit = MakeEdit(u"seoul busan daegu");
    // A touch picks the nearest boundary.
    const int x = (edit->XOf(2) + edit->XOf(3)) / 2 + 1;
    POINT at{x, 20};
    edit->OnInput(IXIN_DOWN, reinterpret_cast<LPARAM>(&at));
    EXPECT_EQ(edit->GetCaret(), 3);
    // A double tap selects the word; on a space, nothing.
    POINT inBusan{(edit->XOf(7) + edit->XOf(8)) / 2, 20};
    edit->OnInput(IXIN_REPEAT, reinterpret_cast<LPARAM>(&inBusan));
    int start = 0, end = 0;
    EXPECT_TRUE(edit->GetSelection(&start, &end));
    EXPECT_EQ(start, 6);
    EXPECT_EQ(end, 11);
    edit->SetSelection(0, 0);
    POINT onSpace{(edit->XOf(5) + edit->XOf(6)) / 2, 20};
    edit->OnInput(IXIN_REPEAT, reinterpret_cast<LPARAM>(&onSpace));
    EXPECT_FALSE(edit->GetSelection(&start, &end));

    // Typing past the right edge scrolls so that the caret stays inside;
    // deleting back scrolls the end to the right edge again.
    edit->SetSelection(17, 17);
    for (int i = 0; i < 20; ++i)
        Record(IxTextInput::Plain, u"W");
    EXPECT_GT(edit->GetScrollOffset(), 0);
    EXPECT_LE(edit->XOf(edit->GetCaret()), 400);
    EXPECT_GE(edit->XOf(edit->GetCaret()), 300);
    for (int i = 0; i < 20; ++i)
        Key(VK_BACK);
    EXPECT_EQ(edit->GetScrollOffset(), 0);
    EXPECT_EQ(TextOf(edit), u"seoul busan daegu");
}

// ---------------------------------------------------------------------------
// Multi-line view

class MultiLineTest : public TextControlsTest {
protected:
    // A view of width plus the margins 10 and 8, wrap by flags and style.
    IxMultiLineText* MakeView(int width, DWORD flags, DWORD style, const std::u16string& text, int height = 300)
    {
        auto* view = new IxMultiLineText(4, 0, -1, -1, 10, 6, 8, 6, 0, 0);
        view->SetStyle(style);
        Place(view, 40, RECT{20, 20, 20 + 10 + width + 8, 20 + height}, flags);
        view->SetProperty(IXP_FONT, kWhite);
        IxString string(text.c_str());
        view->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&string));
        return view;
    }
    static std::vector<std::u16string> Lines(const IxMultiLineText* view)
    {
        std::vector<std::u16string> lines;
        for (int i = 0; i < view->LineCount(); ++i) {
            const auto& line = view->GetLine(i);
            lines.emplace_back(line.chars.Data() ? line.chars.Data() : u"", static_cast<size_t>(line.chars.Count()));
        }
        return lines;
    }
    using Strings = std::vector<std::u16string>;
};

TEST_F(MultiLineTest, LineBreaksWithoutWrapping)
{
    struct Row {
        const char16_t* text;
        Strings lines;
    };
    const Row rows[] = {
        {u"ab\r\ncd\re\nf", {u"ab", u"cd", u"e", u"f"}},
        {u"ab\n\ncd\n", {u"ab", u"", u"cd"}},
        {u"", {}},
        {u"한국어 문장이 아주 길어도 줄은 하나", {u"한국어 문장이 아주 길어도 줄은 하나"}},
    };
    for (const Row& row : rows) {
        auto* view = MakeView(100, 0, 0, row.text);
        EXPECT_EQ(Lines(view), row.lines);
    }
}

// In the unit's font a digit is 12 px wide and a space 6 px: the widths
// below are whole numbers of digits.
TEST_F(MultiLineTest, WordAndCharacterWrapOfAParagraphAtThreeWidths)
{
    const char16_t* paragraph = u"12 345 6789 01234567890 12";
    struct Row {
        bool characters;
        int width;
        Strings lines;
    };
    const Row rows[] = {
        {false, 96, {u"12 345", u"6789", u"01234567", u"890 12"}},
        {false, 60, {u"12", u"345", u"6789", u"01234", u"56789", u"0 12"}},
        {false, 36, {u"12", u"345", u"678", u"9", u"012", u"345", u"678", u"90", u"12"}},
        {true, 96, {u"12 345 67", u"89 01234", u"567890 1", u"2"}},
        {true, 60, {u"12 34", u"5 678", u"9 012", u"34567", u"890 1", u"2"}},
        {true, 36, {u"12 ", u"345", u" 67", u"89 ", u"012", u"345", u"678", u"90 ", u"12"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << (row.characters ? "character" : "word") << " wrap at " << row.width);
        auto* view = MakeView(row.width, row.characters ? DWORD{IXF_CHARWRAP} : 0,
                              row.characters ? 0 : DWORD{IXMLS_WORDWRAP}, paragraph);
        EXPECT_EQ(view->WrapWidth(), row.width);
        EXPECT_EQ(Lines(view), row.lines);
        for (int i = 0; i < view->LineCount(); ++i)
            EXPECT_EQ(view->GetLine(i).bParagraph, i == 0);
    }
    // Three letters, a space and three letters in five characters' width;
    // a word longer than the width is cut before the character that
    // overflows; a hard break starts a paragraph.
    EXPECT_EQ(Lines(MakeView(60, 0, IXMLS_WORDWRAP, u"123 456")), (Strings{u"123", u"456"}));
    EXPECT_EQ(Lines(MakeView(36, 0, IXMLS_WORDWRAP, u"1234567")), (Strings{u"123", u"456", u"7"}));
    auto* view = MakeView(36, 0, IXMLS_WORDWRAP, u"12345\n67");
    EXPECT_EQ(Lines(view), (Strings{u"123", u"45", u"67"}));
    EXPECT_TRUE(view->GetLine(2).bParagraph);
    EXPECT_EQ(TextOf(view), u"12345\n67");
}

TEST_F(MultiLineTest, CharacterWrapFlowsEachEditedParagraphAgain)
{
    // After every edit the lines are those of the same text broken afresh.
    auto* view = MakeView(60, IXF_CHARWRAP, 0, u"12 345 6789\n01234567890 12");
    view->SetFlags(IXF_FOCUSONCLICK | IXF_CARETSHOWN, 0);
    Show();
    view->SetFocus();
    struct Step {
        const char* what;
        std::function<void()> act;
    };
    const Step steps[] = {
        {"type at the start", [&] { Record(IxTextInput::Plain, u"0"); }},
        {"type a line break inside", [&] { Record(IxTextInput::Plain, u"9\r\n8"); }},
        {"enter", [&] { Key(VK_RETURN); }},
        {"backspace joins the paragraphs", [&] { Key(VK_BACK); }},
        {"delete forward", [&] { Key(VK_DELETE); }},
        {"type many", [&] { Record(IxTextInput::Plain, u"한국어 텍스트 입력"); }},
        {"select and replace",
         [&] {
             view->SetSelection(0, 2, 3, 1);
             Record(IxTextInput::Plain, u"7");
         }},
        {"compose",
         [&] {
             Record(IxTextInput::Insert, u"ㅎ");
             Record(IxTextInput::ReplaceComposing, u"한글");
             Record(IxTextInput::CommitComposing, u"한글", 2);
         }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        const std::u16string text = TextOf(view);
        auto* fresh = MakeView(60, IXF_CHARWRAP, 0, text);
        EXPECT_EQ(Lines(view), Lines(fresh));
        for (int i = 0; i < view->LineCount() && i < fresh->LineCount(); ++i)
            EXPECT_EQ(view->GetLine(i).nWidth, fresh->GetLine(i).nWidth);
        sheet->RemoveChild(fresh, FALSE);
    }
    EXPECT_EQ(TextOf(view), u"097한글 입력2 345 6789\n01234567890 12");
}
TEST_F(MultiLineTest, RecordsAtTheEndOfALineAndPastItStayInside)
{
    using K = IxTextInput;
    struct Row {
        const char* what;
        int line, column;
        std::vector<EditStep> steps;
        const char16_t* text;
        int caretLine, caretColumn;
    };
    const Row rows[] = {
        {"composing at the end of a line appends", 0, 2, {Rec(K::ReplaceComposing, u"xyz")}, u"abxyz\ncd", 0, 2},
        {"composing past the end of the line", 0, 1, {Rec(K::ReplaceComposing, u"xyz")}, u"axyz\ncd", 0, 1},
        {"composing at the end of the text", 1, 2, {Rec(K::ReplaceComposing, u"가나")}, u"ab\ncd가나", 1, 2},
        {"replace count past the end of the line", 0, 2, {Rec(K::Insert, u"Q", 3)}, u"abQ\ncd", 0, 2},
        {"replace count past the end of the text", 1, 1, {Rec(K::Plain, u"ef", 9)}, u"ab\ncef", 1, 3},
        {"removing a composition that runs past the end",
         1,
         2,
         {Rec(K::Insert, u"ㄱㄴ"), Rec(K::RemoveComposing, u""), Rec(K::RemoveComposing, u"")},
         u"ab\ncd",
         1,
         2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        auto* view = MakeView(300, 0, 0, u"ab\ncd");
        Show();
        view->SetSelection(row.line, row.column, row.line, row.column);
        for (const EditStep& step : row.steps)
            Record(step.kind, step.text, step.replace);
        EXPECT_EQ(TextOf(view), row.text);
        EXPECT_EQ(view->GetCaretLine(), row.caretLine);
        EXPECT_EQ(view->GetCaretColumn(), row.caretColumn);
        // A kind 3 record changes a line's width by the advances it changed.
        int width = 0;
        for (int i = 0; i < view->GetLine(row.caretLine).advances.Count(); ++i)
            width += view->GetLine(row.caretLine).advances[i];
        EXPECT_EQ(view->GetLine(row.caretLine).nWidth, width);
        frame->PopAllLayers();
        Pump();
        sheet = new Sheet(100, RECT{0, 0, 800, 480});
        sheet->SetFlags(IXF_LAYOUTPENDING, 0);
    }
}

TEST_F(MultiLineTest, CaretKeysMoveByColumnAndLine)
{
    auto* view = MakeView(300, 0, 0, u"abcd\nxy\n\nlast line");
    Show();
    view->SetFocus();
    struct Row {
        UINT key;
        bool shift;
        int line, column;
    };
    const Row rows[] = {
        {VK_UP, false, 0, 0},   {VK_END, false, 0, 4},  {VK_RIGHT, false, 1, 0}, {VK_LEFT, false, 0, 4},
        {VK_DOWN, false, 1, 2}, {VK_DOWN, false, 2, 0}, {VK_DOWN, false, 3, 0},  {VK_DOWN, false, 3, 9},
        {VK_HOME, true, 3, 0},  {VK_UP, true, 2, 0},    {VK_RIGHT, false, 3, 9}, {VK_UP, false, 2, 0},
        {VK_UP, false, 1, 0},   {VK_RIGHT, true, 1, 1}, {VK_LEFT, false, 1, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "key " << row.key << (row.shift ? " with shift" : ""));
        if (row.shift)
            Shift(true);
        Key(row.key);
        if (row.shift)
            Shift(false);
        EXPECT_EQ(view->GetCaretLine(), row.line);
        EXPECT_EQ(view->GetCaretColumn(), row.column);
    }
}

TEST_F(MultiLineTest, ScrollBarsFollowTheViewAndTheViewFollowsThem)
{
    std::u16string text;
    for (int i = 0; i < 30; ++i) {
        text += u"줄 " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26));
        text += i == 5 ? u" 이 줄은 보기보다 훨씬 넓어서 옆으로 밀어야 끝이 보인다\n" : u"\n";
    }
    // 10 lines of 27 px fit in 6 + 270 + 6 (less the horizontal bar).
    auto* view = MakeView(400, 0, 0, text, 6 + 27 * 10 + 6 + 20);
    auto* vertical = new IxSliderBar(TRUE, 1, 100, -1, 1);
    vertical->SetRectNow(RECT{418 - 20, 0, 418, 302 - 20});
    vertical->SetProperty(IXP_SLIDERINCREASE, reinterpret_cast<LPARAM>(new IxColorImage(RGB(90, 90, 90), 20, 20)));
    vertical->SetProperty(IXP_SLIDERDECREASE, reinterpret_cast<LPARAM>(new IxColorImage(RGB(90, 90, 90), 20, 20)));
    auto* horizontal = new IxSliderBar(FALSE, 1, 100, -1, 1);
    horizontal->SetRectNow(RECT{0, 302 - 20, 418 - 20, 302});
    view->SetProperty(IXP_SCROLLBARV, reinterpret_cast<LPARAM>(vertical));
    view->SetProperty(IXP_SCROLLBARH, reinterpret_cast<LPARAM>(horizontal));
    Show();
    EXPECT_EQ(view->VisibleLines(), 10);
    EXPECT_EQ(vertical->GetRange(), 30 - 10);
    EXPECT_EQ(vertical->GetValue(), 0);
    const int widest = view->WidestLine();
    EXPECT_EQ(horizontal->GetRange(), widest + 10 - (398 - 8));

    // The view moves the bars: the caret taken down to the last line.
    view->SetFocus();
    view->SetSelection(29, 0, 29, 0);
    EXPECT_EQ(view->GetVerticalOffset(), 27 * 20);
    EXPECT_EQ(vertical->GetValue(), 20);
    view->SetSelection(5, 60, 5, 60);
    EXPECT_GT(view->GetHorizontalOffset(), 0);
    EXPECT_EQ(horizontal->GetValue(), view->GetHorizontalOffset());

    // The bars move the view: their click notices carry the new position.
    InBracket([&] {
        vertical->SetProperty(IXP_SLIDERVALUE, 7);
        IxNoticeRecord notice{IxActionWord(0, AEV_CLICK), 0};
        view->OnChildNotify(IXCN_NOTICE, reinterpret_cast<LPARAM>(&notice), vertical, vertical);
        horizontal->SetProperty(IXP_SLIDERVALUE, 33);
        view->OnChildNotify(IXCN_NOTICE, reinterpret_cast<LPARAM>(&notice), horizontal, horizontal);
    });
    EXPECT_EQ(view->GetVerticalOffset(), 7 * 27);
    EXPECT_EQ(view->GetHorizontalOffset(), 33);
    // A tap on the bar's increase button steps it, and the view with it.
    const RECT increase = vertical->GetPartRect(IxSliderBar::PART_INCREASE);
    ASSERT_FALSE(platform::IsEmpty(increase));
    const int x = 20 + 398 + (increase.left + increase.right) / 2, y = 20 + (increase.top + increase.bottom) / 2;
    Down(x, y);
    Up(x, y);
    EXPECT_EQ(vertical->GetValue(), 8);
    EXPECT_EQ(view->GetVerticalOffset(), 8 * 27);
    // A point on a bar is the bar's, not the view's.
    EXPECT_NE(view->FindTarget(IXIN_DOWN, POINT{405, 100}), view);
    EXPECT_EQ(view->FindTarget(IXIN_DOWN, POINT{100, 100}), view);

    // Style bit 32: the view leaves its bars alone.
    view->SetStyle(IXMLS_NOSCROLLBARS);
    view->SetSelection(0, 0, 0, 0);
    EXPECT_EQ(view->GetVerticalOffset(), 0);
    EXPECT_EQ(vertical->GetValue(), 8);
}
TEST_F(MultiLineTest, DraggingAtTheRightEdgeScrollsUntilTheWidestLineEnds)
{
    auto* view = new IxMultiLineText(4, 0, 20, -1, 10, 6, 8, 6, 0, 0);
    Place(view, 40, RECT{20, 20, 320, 20 + 6 + 27 * 4 + 6}, IXF_FOCUSONCLICK | IXF_CARETSHOWN);
    view->SetProperty(IXP_FONT, kWhite);
    IxString text(u"short\n0123456789012345678901234567890123456789\nthird\nfourth");
    view->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&text));
    Show();
    IxKernel* kernel = frame->GetKernel();
    const int maxOffset = view->WidestLine() + 10 - (300 - 8);
    ASSERT_GT(maxOffset, 100);

    const int y = 20 + 6 + 27 + 10; // on the long line
    Down(20 + 10 + 12 * 3 + 2, y);
    EXPECT_EQ(view->GetCaretLine(), 1);
    EXPECT_EQ(view->GetCaretColumn(), 3);
    // Into the right zone: one step at once, then one per repeat period.
    Move(20 + 290, y);
    EXPECT_TRUE(kernel->IsTimerSet(view, IxTimerId(view)));
    const int first = view->GetHorizontalOffset();
    EXPECT_GT(first, 0);
    Tick(kernel->GetRepeatPeriod());
    EXPECT_EQ(view->GetHorizontalOffset(), std::min(2 * first, maxOffset));
    Tick(kernel->GetRepeatPeriod() * 40);
    EXPECT_EQ(view->GetHorizontalOffset(), maxOffset);
    // At the end the steps only extend the selection, to the last column.
    EXPECT_EQ(view->GetCaretLine(), 1);
    EXPECT_EQ(view->GetCaretColumn(), 40);
    EXPECT_EQ(view->GetAnchorColumn(), 3);

    // Back inside: the scrolling stops and the selection follows the point.
    Move(20 + 150, y);
    EXPECT_FALSE(kernel->IsTimerSet(view, IxTimerId(view)));
    const int column = view->GetCaretColumn();
    EXPECT_LT(column, 40);
    Tick(1000);
    EXPECT_EQ(view->GetHorizontalOffset(), maxOffset);
    // Below the last line (no vertical zone): nothing extends.
    Move(20 + 100, 20 + 6 + 27 * 4 + 5);
    EXPECT_EQ(view->GetCaretColumn(), column);
    EXPECT_EQ(view->GetCaretLine(), 1);
    Up(20 + 100, 20 + 6 + 27 * 4 + 5);
    EXPECT_FALSE(kernel->IsTimerSet(view, IxTimerId(view)));
}

// ---------------------------------------------------------------------------
// Screenshot

using TextControlsScreenshot = TextControlsTest;

TEST_F(TextControlsScreenshot, OutlinedTitleOverAPictureAndAViewWithASelection)
{
    Place(new DuskPicture, 1, RECT{0, 0, 800, 120});
    auto* title = Place(new IxOutlineMarqueeText(RGB(255, 0, 0), 1000, 1000, 30, 10, 0), 2, RECT{40, 30, 760, 90},
                        IXF_HCENTER | IXF_VCENTER, u"라디오 FM 89.1 - Morning Drive");
    title->SetProperty(IXP_FONT, kTitle);
    auto* cut = Place(new IxMarqueeText(1000, 100, 30, 10, 0), 3, RECT{40, 130, 240, 160}, IXF_MARKED,
                      u"Hotel California - Eagles");
    cut->SetProperty(IXP_FONT, kWhite);
    auto* cutKorean = Place(new IxMarqueeText(1000, 100, 30, 10, 0), 4, RECT{260, 130, 420, 160}, IXF_MARKED,
                            u"서울특별시 강남구 테헤란로");
    cutKorean->SetProperty(IXP_FONT, kYellow);
    auto* edit = Place(new IxTextEdit(20), 5, RECT{440, 130, 760, 162}, IXF_VCENTER | IXF_CARETSHOWN, u"010-1234-5678");
    edit->SetProperty(IXP_FONT, kWhite);
    edit->SetOutline(1, RGB(0, 90, 200));

    auto* view = new IxMultiLineText(4, 0, 20, 20, 10, 6, 8, 6, 1, RGB(0, 70, 160));
    view->SetStyle(IXMLS_WORDWRAP);
    Place(view, 6, RECT{40, 180, 560, 460}, IXF_FOCUSONCLICK | IXF_CARETSHOWN);
    view->SetProperty(IXP_FONT, kWhite);
    auto* bar = new IxSliderBar(TRUE, 1, 100, -1, 1);
    bar->SetRectNow(RECT{500, 0, 520, 280});
    bar->SetProperty(IXP_SLIDERTRACK, reinterpret_cast<LPARAM>(new IxColorImage(RGB(60, 60, 80), 20, 280)));
    bar->SetProperty(IXP_SLIDERTHUMB, reinterpret_cast<LPARAM>(new IxColorImage(RGB(200, 200, 220), 20, 40)));
    view->SetProperty(IXP_SCROLLBARV, reinterpret_cast<LPARAM>(bar));
    IxString text(u"블루투스 전화번호부를 내려받는 중입니다. 잠시만 기다려 주십시오.\n"
                  u"Downloading the phone book over Bluetooth; the list fills in as the entries arrive.\n"
                  u"연락처 1,024개 중 512개 완료\n\n"
                  u"The unit keeps the last 100 calls. 통화 기록은 최근 100건까지 보관됩니다.\n"
                  u"끝");
    view->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&text));
    view->SetHighlight(2, 2, RGB(120, 220, 255));
    Show();
    view->SetFocus();
    view->SetSelection(0, 5, 3, 10);
    EXPECT_TRUE(screenshot::MatchesReference(Capture()));
}
// ---------------------------------------------------------------------------
// Long runs of mixed input

// Records of every kind (with counts and replace counts beyond what stands
// after the caret), keys and selections out of range, in a fixed
// pseudo-random order: the caret stays inside the text, the limit holds,
// and the character-wrapped lines stay those of the text broken afresh.
TEST_F(MultiLineTest, LongRunsOfRecordsKeysAndSelectionsKeepEverythingInside)
{
    auto* edit = Place(new IxTextEdit(20), kEditId, RECT{20, 400, 420, 440}, IXF_CARETSHOWN);
    edit->SetProperty(IXP_FONT, kWhite);
    edit->SetLimit(24);
    auto* view = MakeView(60, IXF_CHARWRAP | IXF_CARETSHOWN, 0, u"12 345\n가나다라마바사");
    Show();
    static const char16_t kPool[] = u"0123 가나ab\r\n한";
    static const UINT kKeys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_HOME, VK_END, VK_BACK, VK_DELETE, VK_RETURN};
    std::uint32_t seed = 12345;
    auto next = [&](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % n);
    };
    for (int round = 0; round < 4000; ++round) {
        IxElement* target = round % 2 ? static_cast<IxElement*>(view) : edit;
        target->SetFocus();
        const int action = next(10);
        if (action < 6) {
            std::u16string text;
            for (int i = next(6); i > 0; --i)
                text += kPool[next(static_cast<std::uint32_t>(std::size(kPool) - 1))];
            if (target == edit)
                std::erase_if(text, [](char16_t c) { return c == u'\r' || c == u'\n'; });
            Record(1 + next(5), text, next(9));
        } else if (action < 9) {
            Key(kKeys[next(9)]);
        } else if (target == edit) {
            edit->SetSelection(next(40) - 5, next(40) - 5);
        } else {
            view->SetSelection(next(12) - 2, next(30) - 3, next(12) - 2, next(30) - 3);
        }
        SCOPED_TRACE(testing::Message() << "round " << round);
        // Without the focus the field has no caret.
        ASSERT_GE(edit->GetCaret(), target == edit ? 0 : -1);
        ASSERT_LE(edit->GetCaret(), edit->Length());
        ASSERT_LE(edit->GetAnchor(), edit->Length());
        ASSERT_LE(edit->GetCaret() + edit->GetCompositionLength(), edit->Length());
        ASSERT_LE(edit->Length(), 24);
        if (view->LineCount() > 0 && view->GetCaretLine() >= 0) {
            ASSERT_LT(view->GetCaretLine(), view->LineCount());
            ASSERT_LE(view->GetCaretColumn(), view->GetLine(view->GetCaretLine()).chars.Count());
        }
        if (round % 50 == 1) {
            auto* fresh = MakeView(60, IXF_CHARWRAP, 0, TextOf(view));
            // Editing may leave an empty last line (typed line feed at the
            // end), which a text broken afresh does not make.
            Strings lines = Lines(view);
            if (!lines.empty() && lines.back().empty() && view->GetLine(view->LineCount() - 1).bParagraph)
                lines.pop_back();
            ASSERT_EQ(lines, Lines(fresh));
            for (int i = 0; i < view->LineCount(); ++i) {
                const auto& line = view->GetLine(i);
                int width = 0;
                for (int k = 0; k < line.advances.Count(); ++k)
                    width += line.advances[k];
                ASSERT_EQ(line.nWidth, width);
                ASSERT_TRUE(line.nWidth <= 60 || line.chars.Count() == 1);
            }
            sheet->RemoveChild(fresh, FALSE);
        }
    }
}
} // namespace
