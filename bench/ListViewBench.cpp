// A recycled list of 100,000 rows (six of 700 x 70 shown, Korean and Latin
// text) as the media and phonebook screens use it: one page step with its
// rebind and repaint, and a fling across the whole list frame by frame
// (each frame a pixel scroll, the rebind of the rows that changed and the
// repaint). Goal: each frame under 2 ms (x_goal below 1). heap_growth is
// what the list allocated between 1,000 and 100,000 rows: it keeps nothing
// per row.
#include "BenchFrame.h"
#include "Lib_cpp/controls/ListView.h"
#include "Lib_cpp/controls/StateButton.h"
#include "Lib_cpp/image/Image.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <malloc.h>
#include <string>

namespace {

constexpr double kGoalSeconds = 0.002;
constexpr int kRows = 100000;

class Rows : public IxDataListView {
public:
    explicit Rows(DWORD style) : IxDataListView(6, 1, 0, 0, style, 0, 0, 0, 0, 1000, 20, 20)
    {
        SetRectNow(RECT{50, 30, 750, 450});
        for (int i = 0; i < 7; ++i) {
            auto* row = new IxItemButton(1, 1);
            row->SetRectNow(RECT{0, 0, 700, 70});
            row->SetFlags(IXF_VCENTER, 0);
            RECT text{24, 0, 660, 70};
            row->SetProperty(IXP_TEXTRECT, reinterpret_cast<LPARAM>(&text));
            row->SetProperty(IXP_FONT, 0);
            AddItemElement(row);
        }
    }
    ~Rows() override
    {
        for (IxImage* image : m_stripes)
            image->Release();
    }
    void BindItem(IxElement* element, int index) override
    {
        std::u16string text;
        if (index >= 0) {
            std::u16string number;
            for (int n = index; number.empty() || n > 0; n /= 10)
                number.insert(number.begin(), static_cast<char16_t>(u'0' + n % 10));
            text.append(u"노래 ").append(number).append(u" · Track ").append(number);
        }
        IxString held(text.c_str());
        element->SetProperty(IXP_TEXTLATER, reinterpret_cast<LPARAM>(&held));
        IxImage* stripe = m_stripes[index < 0 ? 0 : index % 2];
        stripe->AddRef();
        element->SetProperty(IXP_BUTTONBACKGROUND, reinterpret_cast<LPARAM>(stripe));
    }

private:
    IxImage* m_stripes[2] = {new IxColorImage(RGB(40, 50, 70), 700, 70), new IxColorImage(RGB(50, 50, 70), 700, 70)};
};

Rows* ShowRows(BenchFrame& bench, DWORD style)
{
    auto* rows = new Rows(style);
    bench.frame->PushLayer(rows, nullptr, IXLAYER_SCREEN);
    rows->SetCount(kRows, TRUE);
    bench.Repaint();
    return rows;
}

void Report(benchmark::State& state, double seconds, Rows* rows)
{
    state.counters["x_goal"] = seconds / static_cast<double>(state.iterations()) / kGoalSeconds;
    // The list's own allocations do not grow with the row count.
    const size_t before = mallinfo2().uordblks;
    rows->SetCount(1000, FALSE);
    rows->SetCount(kRows, FALSE);
    state.counters["heap_growth"] = static_cast<double>(mallinfo2().uordblks) - static_cast<double>(before);
}

void BM_ListPageStep(benchmark::State& state)
{
    BenchFrame bench;
    if (!bench.Ready()) {
        state.SkipWithError("no frame window");
        return;
    }
    Rows* rows = ShowRows(bench, static_cast<DWORD>(state.range(0)));
    using Clock = std::chrono::steady_clock;
    double total = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        rows->SetProperty(IXP_LISTBYLINES, 6);
        UpdateWindow(bench.hwnd);
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        total += seconds;
        state.SetIterationTime(seconds);
        if (rows->GetTopIndex() >= kRows - 6)
            rows->SetProperty(IXP_LISTBYLINES, -kRows);
    }
    Report(state, total, rows);
}
// The screens' style (pixel-moving repaint) and a plain full repaint.
BENCHMARK(BM_ListPageStep)->Arg(0x250)->Arg(0x50)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_ListFlingFrame(benchmark::State& state)
{
    BenchFrame bench;
    if (!bench.Ready()) {
        state.SkipWithError("no frame window");
        return;
    }
    Rows* rows = ShowRows(bench, static_cast<DWORD>(state.range(0)));
    // A fast fling: 350 px (five rows) a frame, across all 100,000 rows.
    using Clock = std::chrono::steady_clock;
    double total = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        rows->ScrollByDelta(0, -350);
        UpdateWindow(bench.hwnd);
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        total += seconds;
        state.SetIterationTime(seconds);
        if (rows->GetTopIndex() >= kRows - 6) {
            rows->ScrollTo(IxListView::kIxListReset, 0, FALSE, FALSE);
            rows->SetProperty(IXP_LISTBYLINES, -kRows);
        }
    }
    Report(state, total, rows);
}
BENCHMARK(BM_ListFlingFrame)->Arg(0x250)->Arg(0x50)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
