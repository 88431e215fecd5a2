// A sheet as the unit shows it, by exact screenshot: two group tabs with
// the marker of the group that is up, a page indicator kept by the sheet's
// indicator table, and on page B an image slider and a text button.
#include "Lib_cpp/controls/ButtonView.h"
#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ImageElement.h"
#include "Lib_cpp/controls/Sheet.h"
#include "Lib_cpp/controls/SliderView.h"
#include "Lib_cpp/controls/TextLabel.h"
#include "Lib_cpp/image/Image.h"
#include "tests/common/ColorFrames.h"
#include "tests/common/FrameScreenshot.h"

#include <gtest/gtest.h>

namespace {

using namespace frametest;

constexpr int kPageDots = 50;
constexpr int kPageKey = 1;

// Four dots in a row, the dot of the current frame lit.
class PageDots : public IxImage {
public:
    BOOL Draw(IxDC* dc, const RECT& dst, const RECT* clip) override
    {
        for (int i = 0; i < 4; ++i) {
            RECT dot{dst.left + i * 24, dst.top, dst.left + i * 24 + 12, dst.top + 12};
            if (clip)
                dot = platform::Intersect(dot, *clip);
            HBRUSH brush = CreateSolidBrush(i == m_current ? RGB(255, 200, 40) : RGB(90, 96, 110));
            FillRect(dc->GetDC(), &dot, brush);
            DeleteObject(brush);
        }
        return TRUE;
    }
    INT_PTR Query(int what, INT_PTR argument) override
    {
        switch (what) {
        case IXIQ_HASFRAME:
            return argument == IXI_CURRENT || (argument >= 0 && argument < 4);
        case IXIQ_FRAMECOUNT:
            return 4;
        case IXIQ_CURFRAME:
            return m_current;
        case IXIQ_SIZE:
            *reinterpret_cast<SIZE*>(argument) = SIZE{84, 12};
            return 0;
        default:
            return 0;
        }
    }
    BOOL Control(int command, INT_PTR argument) override
    {
        if (command != IXIC_SETFRAME || argument < 0 || argument >= 4)
            return FALSE;
        const bool changed = argument != m_current;
        m_current = static_cast<int>(argument);
        return changed;
    }

private:
    int m_current = 0;
};

IxElementParams Params(int id, RECT rc, DWORD flags = 0)
{
    IxElementParams params;
    params.Clear();
    params.lContentValue = 0;
    params.Set(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, id, flags);
    return params;
}

class SheetScreenshot : public FrameScreenshotTest {
protected:
    void SetUp() override
    {
        FrameScreenshotTest::SetUp();
        static IX_STATIC_STRING(kFace, u"NanumGothic");
        IxFontTable& fonts = frame->GetFontTable();
        fonts.Add(IxFontEntry{IXFS_ANTIALIAS, -22, &kFace, RGB(255, 255, 255), nullptr});
    }
    template <class T>
    T* Place(IxView* parent, T* element, int id, RECT rc, DWORD flags = 0, int kind = 0, LPARAM content = 0)
    {
        IxElementParams params = Params(id, rc, flags);
        params.nContentKind = kind;
        params.lContentValue = content;
        element->Create(&params);
        parent->AddChild(element);
        return element;
    }
    IxStaticText* Label(IxView* parent, int id, RECT rc, const char16_t* text)
    {
        IxString s(text);
        auto* label = Place(parent, new IxStaticText, id, rc, IXF_HCENTER | IXF_VCENTER, IXCONTENT_SHARESTRING,
                            reinterpret_cast<LPARAM>(&s));
        label->SetProperty(IXP_FONT, 0);
        return label;
    }
    static IxImage* Solid(COLORREF c, int w, int h) { return new IxColorImage(c, w, h); }
};

TEST_F(SheetScreenshot, PageBWithIndicatorSliderAndButton)
{
    auto* sheet = new IxSheet;
    IxElementParams params = Params(900, RECT{0, 0, 800, 480});
    sheet->Create(&params);
    sheet->SetBackground(Solid(RGB(24, 28, 36), 800, 480));

    // The group tabs and the markers under them.
    Label(sheet, 10, RECT{40, 20, 200, 70}, u"그룹 A");
    Label(sheet, 11, RECT{220, 20, 380, 70}, u"그룹 B");
    Place(sheet, new ColorBox(IXID_GROUPA_SHOWN, RECT{40, 70, 200, 76}, kYellow), IXID_GROUPA_SHOWN,
          RECT{40, 70, 200, 76});
    Place(sheet, new ColorBox(IXID_GROUPB_SHOWN, RECT{220, 70, 380, 76}, kYellow), IXID_GROUPB_SHOWN,
          RECT{220, 70, 380, 76});
    // The page indicator.
    Place(sheet, new IxStaticImage, kPageDots, RECT{660, 40, 744, 52}, 0, IXCONTENT_IMAGE,
          reinterpret_cast<LPARAM>(new PageDots));
    sheet->AddIconIndicator(kPageKey, kPageDots, 1, 0);

    // Page A: a plain panel; page B: a slider and a button.
    auto* pageA = new IxView;
    IxElementParams pa = Params(3301, RECT{0, 100, 800, 480});
    pageA->Create(&pa);
    Place(pageA, new ColorBox(0, RECT{100, 60, 700, 300}, kRed), 0, RECT{100, 60, 700, 300});
    sheet->AddPage(pageA);

    auto* pageB = new IxView;
    IxElementParams pb = Params(3306, RECT{0, 100, 800, 480});
    pageB->Create(&pb);
    auto* slider = Place(pageB, new IxImageSliderView, 70, RECT{100, 60, 700, 120});
    slider->SetTrack(10, 590);
    slider->SetThumbImage(new ColorFrames(24, 40, {RGB(240, 240, 240)}), 50);
    slider->SetBarImages(Solid(RGB(40, 140, 230), 10, 8), Solid(RGB(80, 86, 100), 10, 8), nullptr, nullptr, 34);
    slider->SetProperty(IXP_SLIDERRANGEVALUE, (60 << 16) | 100);

    auto* button = Place(pageB, new IxTextButtonView, 80, RECT{300, 200, 500, 270});
    button->SetBackground(Solid(RGB(70, 80, 96), 200, 70));
    Label(button, 81, RECT{0, 0, 200, 70}, u"확인");
    SetElementText(button, IxString(u"확인"), 1, FALSE);
    sheet->AddPage(pageB);

    Render(sheet);
    {
        IxBusyScope busy(frame);
        sheet->NextPageA(3301);
        sheet->NextPageB(3306);
        sheet->SwitchPageGroup(TRUE, 0);
        sheet->SetIndicator(kPageKey, TRUE);
    }
    EXPECT_EQ(sheet->GetActivePageId(), 3306);
    Repaint();
    EXPECT_TRUE(screenshot::ScreenMatchesReference());
}

} // namespace
