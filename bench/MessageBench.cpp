// Posting and dispatching window messages through a thread's queue.
#include "platform/ui/Window.h"

#include <benchmark/benchmark.h>

namespace {

long g_handled = 0;

LRESULT CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER) {
        g_handled += static_cast<long>(wParam);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND BenchWindow()
{
    static HWND hwnd = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = CountingProc;
        wc.lpszClassName = u"MessageBench";
        RegisterClassW(&wc);
        return CreateWindowExW(0, u"MessageBench", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }();
    return hwnd;
}

// Posts 100,000 messages, then takes and dispatches them all.
void BM_PostAndDispatch100k(benchmark::State& state)
{
    HWND hwnd = BenchWindow();
    for (auto _ : state) {
        for (int i = 0; i < 100000; ++i)
            PostMessageW(hwnd, WM_USER, 1, i);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    benchmark::DoNotOptimize(g_handled);
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_PostAndDispatch100k)->Unit(benchmark::kMillisecond);

// One message at a time through the loop, as the user-interface thread sees
// a steady trickle of reports.
void BM_PostThenDispatchEach(benchmark::State& state)
{
    HWND hwnd = BenchWindow();
    MSG msg;
    for (auto _ : state) {
        PostMessageW(hwnd, WM_USER, 1, 0);
        PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
        DispatchMessageW(&msg);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PostThenDispatchEach);

} // namespace
