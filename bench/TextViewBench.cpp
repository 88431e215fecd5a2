// The multi-line text view with 20,000 characters of Korean and Latin in
// character-wrap mode, as the soft keyboard types into it: one character
// inserted at the caret (the edited paragraph flows again in place) and the
// whole window repainted, per keystroke. Goal: under 1 ms (x_goal below 1).
// References measured in the same run: the repaint alone, and breaking the
// whole text into lines afresh (what an edit would cost without the flow in
// place).
#include "BenchFrame.h"
#include "Lib_cpp/controls/MultiLineText.h"
#include "Lib_cpp/controls/View.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace {

constexpr double kGoalSeconds = 0.001;
constexpr int kTextLength = 20000;

class Sheet : public IxView {
public:
    Sheet() { SetRectNow(RECT{0, 0, 800, 480}); }
};

// paragraphLength characters per paragraph (then a line feed).
std::u16string MakeText(int paragraphLength)
{
    static const char16_t* const kWords[] = {u"블루투스 ",   u"연결 ",   u"Bluetooth ", u"phone ", u"통화 기록 ",
                                             u"navigation ", u"라디오 ", u"FM 89.1 ",   u"음악 ",  u"playlist "};
    std::u16string text;
    int inParagraph = 0;
    for (int i = 0; static_cast<int>(text.size()) < kTextLength; ++i) {
        const std::u16string word = kWords[(i * 7) % 10];
        for (char16_t c : word) {
            if (static_cast<int>(text.size()) >= kTextLength)
                break;
            if (++inParagraph == paragraphLength) {
                text += u'\n';
                inParagraph = 0;
            } else {
                text += c;
            }
        }
    }
    return text;
}

struct Fixture {
    BenchFrame bench;
    IxMultiLineText* view = nullptr;
    explicit Fixture(int paragraphLength)
    {
        if (!bench.Ready())
            return;
        auto* sheet = new Sheet;
        view = new IxMultiLineText(4, 0, -1, -1, 10, 6, 8, 6, 0, 0);
        IxElementParams params;
        params.Clear();
        params.lContentValue = 0;
        params.Set(20, 20, 760, 440, 40, IXF_CHARWRAP | IXF_FOCUSONCLICK | IXF_CARETSHOWN);
        view->Create(&params);
        sheet->AddChild(view);
        view->SetProperty(IXP_FONT, 0);
        const std::u16string text = MakeText(paragraphLength);
        IxString string(text.c_str());
        view->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&string));
        bench.frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN);
        bench.Repaint();
        view->SetFocus();
    }
};

void Report(benchmark::State& state, double seconds, int lines)
{
    state.counters["x_goal"] = seconds / static_cast<double>(state.iterations()) / kGoalSeconds;
    state.counters["lines"] = lines;
}

using Clock = std::chrono::steady_clock;

// One keystroke in the middle of a text of paragraphs of the given length.
void BM_TypeAndRepaint(benchmark::State& state)
{
    Fixture fixture(static_cast<int>(state.range(0)));
    if (!fixture.view) {
        state.SkipWithError("no frame window");
        return;
    }
    IxMultiLineText* view = fixture.view;
    const int middle = view->LineCount() / 2;
    view->SetSelection(middle, 3, middle, 3);
    static const char16_t kKeys[] = u"가나다라abc 123";
    double total = 0;
    int i = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        IxTextInput input{IxTextInput::Plain, &kKeys[i++ % 12], 1, 0};
        fixture.bench.frame->OnTextInput(&input);
        fixture.bench.Repaint();
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        total += seconds;
        state.SetIterationTime(seconds);
    }
    Report(state, total, view->LineCount());
}
BENCHMARK(BM_TypeAndRepaint)->Arg(500)->Arg(kTextLength)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Reference: the repaint alone.
void BM_RepaintOnly(benchmark::State& state)
{
    Fixture fixture(500);
    if (!fixture.view) {
        state.SkipWithError("no frame window");
        return;
    }
    double total = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        fixture.bench.Repaint();
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        total += seconds;
        state.SetIterationTime(seconds);
    }
    Report(state, total, fixture.view->LineCount());
}
BENCHMARK(BM_RepaintOnly)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Reference: the whole text broken into lines afresh (measured anew).
void BM_BreakWholeText(benchmark::State& state)
{
    Fixture fixture(500);
    if (!fixture.view) {
        state.SkipWithError("no frame window");
        return;
    }
    const std::u16string text = MakeText(500);
    IxString string(text.c_str());
    double total = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        fixture.view->SetText(string.Text(), string.Length());
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        total += seconds;
        state.SetIterationTime(seconds);
    }
    Report(state, total, fixture.view->LineCount());
}
BENCHMARK(BM_BreakWholeText)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
