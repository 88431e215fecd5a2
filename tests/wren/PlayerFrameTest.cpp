// The head unit's application runs its message loop and paints its kernel
// frame: a sheet with coloured and text children pushed as a layer through
// the kernel, a popup over it, and the sheet again once the popup is closed.
// Each step runs after the paint of the step before.
#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/core/Window.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "Source/shell/PlayerApp.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/Screen.h"
#include "platform/ui/Window.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::uint16_t Px(COLORREF c)
{
    return platform::Rgb565(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

std::uint16_t At(int x, int y)
{
    return platform::Screen::Get().Pixel(x, y);
}

class Fill : public IxElement {
public:
    Fill(int id, RECT rc, COLORREF color) : m_color(color)
    {
        m_nId = id;
        SetRectNow(rc);
    }
    void Draw(IxPaintRecord* record) override
    {
        HBRUSH brush = CreateSolidBrush(m_color);
        RECT all{0, 0, Width(), Height()};
        FillRect(record->dc->GetDC(), &all, brush);
        DeleteObject(brush);
    }

private:
    COLORREF m_color;
};

// One line of text in a font of the frame's table.
class Text : public IxElement {
public:
    Text(int id, RECT rc, std::u16string text, int font) : m_text(std::move(text)), m_font(font)
    {
        m_nId = id;
        SetRectNow(rc);
    }
    void Draw(IxPaintRecord* record) override
    {
        IxSavedFont saved = record->dc->SelectFont(m_font);
        ExtTextOutW(record->dc->GetDC(), 0, Height() - 8, 0, nullptr, m_text.c_str(), static_cast<UINT>(m_text.size()),
                    nullptr);
        record->dc->SelectFontAndColor(saved);
    }

private:
    std::u16string m_text;
    int m_font;
};

class Sheet : public IxView {
public:
    Sheet(int id, RECT rc)
    {
        m_nId = id;
        SetRectNow(rc);
    }
};

// A bare hook that runs the test's next step after each paint.
class StepHook : public IxKernelAppPlayer {
public:
    void AfterPaintRelease() override
    {
        if (next) {
            auto step = std::move(next);
            next = nullptr;
            step();
        }
    }
    std::function<void()> next;
};

constexpr COLORREF kNavy = RGB(16, 32, 96);
constexpr COLORREF kRed = RGB(220, 0, 0);
constexpr COLORREF kGreen = RGB(0, 200, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(90, 90, 90);

int CountPixels(RECT box, COLORREF color)
{
    int n = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            n += At(x, y) == Px(color);
    return n;
}

class TestApp : public CPlayerApp {
public:
    TestApp() : CPlayerApp(u"PlayerFrameTest", RECT{0, 0, 800, 480}) {}

    HWND InitInstance() override
    {
        HWND hwnd = CPlayerApp::InitInstance();
        auto* window = reinterpret_cast<IxFrameWnd*>(GetWindowLongW(hwnd, 0));
        frame = window ? window->GetKernelFrame() : nullptr;
        if (!frame)
            return hwnd;
        static IX_STATIC_STRING(kFace, u"NanumGothic");
        const int font = frame->GetFontTable().Add(IxFontEntry{IXFS_ANTIALIAS, -24, &kFace, kWhite, nullptr});
        // The test's hook stands in for the application core.
        IxKernelAppPlayer* core = frame->GetHook();
        auto* hook = new StepHook;
        frame->SetHook(hook);
        if (core) {
            core->OnEvent(IXEV_DETACHED, 0);
            delete core;
        }

        auto* sheet = new Sheet(100, RECT{0, 0, 800, 480});
        sheet->AddChild(new Fill(101, RECT{0, 0, 800, 480}, kNavy));
        sheet->AddChild(new Fill(102, RECT{100, 100, 300, 200}, kRed));
        sheet->AddChild(new Fill(103, RECT{400, 100, 600, 200}, kGreen));
        sheet->AddChild(new Text(104, RECT{100, 300, 500, 340}, u"FM 93.1 라디오", font));
        frame->GetKernel()->PushLayer(sheet, nullptr, IXLAYER_SCREEN);

        hook->next = [this, hook] {
            sheetPainted = At(150, 150) == Px(kRed) && At(450, 150) == Px(kGreen) && At(50, 50) == Px(kNavy);
            textPixels = CountPixels(RECT{100, 300, 500, 340}, kWhite);
            auto* popup = new Sheet(200, RECT{0, 0, 300, 120});
            popup->AddChild(new Fill(201, RECT{0, 0, 300, 120}, kGrey));
            IxLayerRecord record{popup, nullptr};
            popupShown = frame->GetKernel()->Service(IXSVC_POPUP, &record, 0) == 1;
            hook->next = [this, hook] {
                // Centred: (250, 180) to (550, 300), over the red and green boxes.
                popupPainted = At(260, 190) == Px(kGrey) && At(540, 190) == Px(kGrey) && At(150, 150) == Px(kRed);
                frame->GetKernel()->Service(IXSVC_CLOSEPOPUP, nullptr, 0);
                hook->next = [this] {
                    restored = At(260, 190) == Px(kRed) && At(540, 190) == Px(kGreen);
                    PostMessageW(GetMainWindow(), WM_CLOSE, 0, 0);
                };
            };
        };
        return hwnd;
    }

    IxKernelFrame* frame = nullptr;
    bool sheetPainted = false;
    int textPixels = 0;
    bool popupShown = false;
    bool popupPainted = false;
    bool restored = false;
};

TEST(PlayerFrame, PaintsTheSheetAPopupAboveItAndWhatWasUnderIt)
{
    TestApp app;
    EXPECT_EQ(app.Run(nullptr, nullptr, SW_SHOW), 0);
    EXPECT_TRUE(app.sheetPainted);
    EXPECT_GT(app.textPixels, 30);
    EXPECT_TRUE(app.popupShown);
    EXPECT_TRUE(app.popupPainted);
    EXPECT_TRUE(app.restored);
    UnregisterClassW(u"PlayerFrameTest", nullptr);
}

} // namespace
