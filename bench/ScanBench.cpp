// Sorted media scan of a generated tree (20,000 files in 500 folders)
// against `find -type f` listing the same tree in the same run, both in
// real time (find runs in a child process, whose time the process's own
// processor time would not show). Goal: "find_ratio", the scan's time over
// find's measured in the same iterations, at most 1.2. The first scan marks
// the folders it found without stored attribute bits; the second benchmark
// removes those marks before every scan, as for a tree that was never
// scanned.
#include "Lib_cpp/fs/FileThreads.h"
#include "platform/unit/Unit.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/xattr.h>

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 500;
constexpr int kFilesPerFolder = 40;

// A unit root with \HDD\Tree\NNN\track-MM.mp3, made once for the run.
struct Tree {
    Tree()
    {
        std::string pattern = (fs::temp_directory_path() / "wren-scanbench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        root = pattern;
        platform::OpenUnit(root);
        for (int f = 0; f < kFolders; ++f) {
            // Five levels of nesting for a tenth of the folders.
            const std::string folder = root + "/HDD/Tree/" + std::to_string(f % 50) + "/" + std::to_string(f);
            fs::create_directories(folder);
            for (int i = 0; i < kFilesPerFolder; ++i)
                std::ofstream(folder + "/track-" + std::to_string(i) + (i % 4 ? ".mp3" : ".jpg"));
        }
    }
    ~Tree()
    {
        platform::CloseUnit();
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    std::string root;
};

Tree& GetTree()
{
    static Tree tree;
    return tree;
}

double FindSeconds()
{
    static const std::string command = "find '" + GetTree().root + "/HDD/Tree' -type f > /dev/null";
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0)
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Removes the marks of the folders that a scan found plain.
void ForgetPlainFolders()
{
    for (const auto& entry : fs::recursive_directory_iterator(GetTree().root + "/HDD/Tree")) {
        if (entry.is_directory())
            removexattr(entry.path().c_str(), "user.wren.plain");
    }
}

void SortedScan(benchmark::State& state, bool unmarked)
{
    GetTree();
    IxScanThread scan(100, nullptr, 6);
    scan.SetSorted(TRUE);
    const LPCWSTR extensions[] = {u"mp3", u"jpg"};
    double scanSeconds = 0, findSeconds = 0;
    for (auto _ : state) {
        if (unmarked) {
            state.PauseTiming();
            ForgetPlainFolders();
            state.ResumeTiming();
        }
        const auto start = std::chrono::steady_clock::now();
        scan.Scan(u"\\HDD\\Tree", extensions, 2, -1, -1);
        benchmark::DoNotOptimize(scan.GetResults().Count());
        scanSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        const double find = FindSeconds();
        state.ResumeTiming();
        if (find < 0) {
            state.SkipWithError("find failed");
            return;
        }
        findSeconds += find;
    }
    state.counters["files"] = scan.GetResults().Count();
    state.counters["find_ratio"] = findSeconds > 0 ? scanSeconds / findSeconds : 0;
}

void BM_SortedScan(benchmark::State& state)
{
    SortedScan(state, false);
}
BENCHMARK(BM_SortedScan)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SortedScanUnmarked(benchmark::State& state)
{
    SortedScan(state, true);
}
BENCHMARK(BM_SortedScanUnmarked)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Find(benchmark::State& state)
{
    for (auto _ : state) {
        if (FindSeconds() < 0)
            state.SkipWithError("find failed");
    }
}
BENCHMARK(BM_Find)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
