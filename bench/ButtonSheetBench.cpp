// A sheet of 200 state buttons (background, icon, Korean text, six state
// fonts), as a screen of list rows or a keypad creates them: the time to
// create and lay them out, and the time of a full repaint through the
// kernel frame. Goals: each under 2 ms (x_goal below 1).
#include "BenchFrame.h"
#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/StateButton.h"
#include "Lib_cpp/controls/View.h"
#include "Lib_cpp/image/Image.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace {

constexpr double kGoalSeconds = 0.002;

class Sheet : public IxView {
public:
    Sheet() { SetRectNow(RECT{0, 0, 800, 480}); }
};

// 20 columns of 10 rows of 40 x 48 buttons.
Sheet* MakeSheet(IxImage* background, IxImage* icon)
{
    static const char16_t* const kTexts[] = {u"음악", u"라디오", u"전화", u"설정", u"DVD"};
    auto* sheet = new Sheet;
    for (int i = 0; i < 200; ++i) {
        auto* button = new IxStateButton(1, 1);
        IxElementParams params;
        params.Clear();
        params.lContentValue = 0;
        const int x = (i % 20) * 40, y = (i / 20) * 48;
        params.Set(x, y, 40, 48, 1000 + i, IXF_HCENTER);
        IxString text(kTexts[i % 5]);
        params.nContentKind = IXCONTENT_SHARESTRING;
        params.lContentValue = reinterpret_cast<LPARAM>(&text);
        button->Create(&params);
        background->AddRef();
        button->SetProperty(IXP_BUTTONBACKGROUND, reinterpret_cast<LPARAM>(background));
        icon->AddRef();
        button->SetProperty(IXP_ICON, reinterpret_cast<LPARAM>(icon));
        RECT iconRect{12, 2, 16, 16};
        button->SetProperty(IXP_ICONRECT, reinterpret_cast<LPARAM>(&iconRect));
        RECT textRect{0, 20, 40, 28};
        button->SetProperty(IXP_TEXTRECT, reinterpret_cast<LPARAM>(&textRect));
        for (int property = IXP_FONT; property <= IXP_FONTSELECTEDPRESSED; ++property)
            button->SetProperty(property, property == IXP_FONT ? 0 : 1);
        sheet->AddChild(button);
    }
    sheet->ValidateNow(0);
    return sheet;
}

struct Fixture {
    BenchFrame bench;
    IxImage* background = new IxColorImage(RGB(60, 70, 90), 40, 48);
    IxImage* icon = new IxColorImage(RGB(240, 200, 40), 16, 16);
    Fixture()
    {
        static IX_STATIC_STRING(kFace, u"NanumGothic");
        if (bench.Ready())
            bench.frame->GetFontTable().Add(IxFontEntry{IXFS_ANTIALIAS, -14, &kFace, RGB(255, 220, 0), nullptr});
    }
    ~Fixture()
    {
        background->Release();
        icon->Release();
    }
};

void Report(benchmark::State& state, double seconds)
{
    state.counters["x_goal"] = seconds / static_cast<double>(state.iterations()) / kGoalSeconds;
}

void BM_Create200StateButtons(benchmark::State& state)
{
    Fixture fixture;
    if (!fixture.bench.Ready()) {
        state.SkipWithError("no frame window");
        return;
    }
    using Clock = std::chrono::steady_clock;
    double total = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        Sheet* sheet = MakeSheet(fixture.background, fixture.icon);
        const auto t1 = Clock::now();
        delete sheet;
        const double seconds = std::chrono::duration<double>(t1 - t0).count();
        total += seconds;
        state.SetIterationTime(seconds);
    }
    Report(state, total);
}
BENCHMARK(BM_Create200StateButtons)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Repaint200StateButtons(benchmark::State& state)
{
    Fixture fixture;
    if (!fixture.bench.Ready()) {
        state.SkipWithError("no frame window");
        return;
    }
    fixture.bench.frame->PushLayer(MakeSheet(fixture.background, fixture.icon), nullptr, IXLAYER_SCREEN);
    fixture.bench.Repaint();
    using Clock = std::chrono::steady_clock;
    double total = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        fixture.bench.Repaint();
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        total += seconds;
        state.SetIterationTime(seconds);
    }
    Report(state, total);
}
BENCHMARK(BM_Repaint200StateButtons)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
