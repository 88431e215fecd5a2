// Cost of the string operations that run on every paint and every action:
// handing a string on (a shared copy) and comparing two strings.
#include "Lib_cpp/core/String.h"

#include <benchmark/benchmark.h>

namespace {

constexpr WCHAR kText32[] = u"Quickroute_Lumo\\Bin\\Lumo_DMU.exe";
constexpr WCHAR kOther32[] = u"Xuickroute_Lumo\\Bin\\Lumo_DMU.exe";
static_assert(sizeof(kText32) / sizeof(WCHAR) == 33);

void BM_CopyShare32(benchmark::State& state)
{
    IxString source(kText32);
    for (auto _ : state) {
        IxString copy(source);
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_CopyShare32);

void BM_Assign32(benchmark::State& state)
{
    IxString target;
    for (auto _ : state) {
        target.Assign(kText32);
        benchmark::DoNotOptimize(target);
    }
}
BENCHMARK(BM_Assign32);

void BM_EqualsSame32(benchmark::State& state)
{
    IxString a(kText32), b(kText32); // two blocks with the same text
    for (auto _ : state) {
        benchmark::DoNotOptimize(a.Equals(b));
    }
}
BENCHMARK(BM_EqualsSame32);

void BM_EqualsDifferFirst32(benchmark::State& state)
{
    IxString a(kText32), b(kOther32);
    for (auto _ : state) {
        benchmark::DoNotOptimize(a.Equals(b));
    }
}
BENCHMARK(BM_EqualsDifferFirst32);

} // namespace
