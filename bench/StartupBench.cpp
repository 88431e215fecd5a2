// Start-up, headless, on a unit root holding the unit's pictures and sounds:
// - from exec to the first frame shown (the intro's first frame), against
//   an empty program linked with the same libraries, measured in the same
//   run (the counter "vs_empty"), on all cores and on one core;
// - from exec to the first frame of the 3D menu, which comes up when the
//   intro ends; the counter "after_intro_ms" leaves out the intro's own
//   timed length, so that what is left is what the unit adds to it.
// Wren announces the frame on its debug output ("--exit-after-frame[=VIEW]")
// and then closes; the time taken is the time to that line.
#include "Source/shell/Intro.h"
#include "Source/shell/ShellIds.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sched.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr char kFrameShown[] = "[Wren] first frame shown";

// Whether the text read so far holds the announcement; keeps only a tail
// long enough to find it across reads.
bool Announced(std::string& tail, const char* data, std::size_t size)
{
    tail.append(data, size);
    if (tail.find(kFrameShown) != std::string::npos)
        return true;
    if (tail.size() > sizeof kFrameShown)
        tail.erase(0, tail.size() - sizeof kFrameShown);
    return false;
}

// Runs the program to its end; the seconds to the frame's announcement
// (to the end when announce is false), or a negative value when it could
// not start, never announced or failed.
double RunOnce(const char* path, const char* argument, bool announce)
{
    int out[2];
    if (pipe(out) != 0)
        return -1;
    char* argv[] = {const_cast<char*>(path), const_cast<char*>(argument), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2); // the debug output
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, path, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return -1;
    }
    auto shown = std::chrono::steady_clock::time_point::min();
    std::string tail;
    char buffer[4096];
    ssize_t got;
    while ((got = read(out[0], buffer, sizeof buffer)) > 0) {
        if (announce && shown == std::chrono::steady_clock::time_point::min()
            && Announced(tail, buffer, static_cast<std::size_t>(got)))
            shown = std::chrono::steady_clock::now();
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    if (!announce)
        return std::chrono::duration<double>(end - start).count();
    if (shown == std::chrono::steady_clock::time_point::min())
        return -1;
    return std::chrono::duration<double>(shown - start).count();
}

// A unit root for the runs with the unit's pictures and sounds, as the
// run command sets one up; the first run installs the unit's font there.
const std::string& Root()
{
    static const std::string root = [] {
        std::string path = (std::filesystem::temp_directory_path() / "wren-startup-bench-XXXXXX").string();
        if (!mkdtemp(path.data()))
            std::abort();
        std::filesystem::copy(WREN_ASSETS_UNIT, path, std::filesystem::copy_options::recursive);
        setenv("WREN_ROOT", path.c_str(), 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        return path;
    }();
    return root;
}

// Keeps this process, and so the programs it starts, on one core while it
// lives.
class OneCore {
public:
    OneCore()
    {
        sched_getaffinity(0, sizeof m_saved, &m_saved);
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &m_saved)) {
                CPU_SET(cpu, &one);
                break;
            }
        }
        sched_setaffinity(0, sizeof one, &one);
    }
    ~OneCore() { sched_setaffinity(0, sizeof m_saved, &m_saved); }
    OneCore(const OneCore&) = delete;
    OneCore& operator=(const OneCore&) = delete;

private:
    cpu_set_t m_saved;
};

// The mean in ms over the iterations, as the counter "ms".
double Measure(benchmark::State& state, const char* path, const char* argument, bool announce)
{
    Root();
    RunOnce(path, argument, announce); // warm the page cache and the unit root
    double total = 0;
    for (auto _ : state) {
        const double seconds = RunOnce(path, argument, announce);
        if (seconds < 0) {
            state.SkipWithError("the program did not run cleanly");
            return 0;
        }
        state.SetIterationTime(seconds);
        total += seconds;
    }
    const double ms = total * 1000 / static_cast<double>(state.iterations());
    state.counters["ms"] = ms;
    return ms;
}

double g_emptyMs = 0;
double g_emptyOneCoreMs = 0;

void BM_EmptyProgram(benchmark::State& state)
{
    g_emptyMs = Measure(state, WREN_EMPTY_EXE, nullptr, false);
}
BENCHMARK(BM_EmptyProgram)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_WrenToFirstFrame(benchmark::State& state)
{
    const double ms = Measure(state, WREN_EXE, "--exit-after-frame", true);
    if (g_emptyMs > 0)
        state.counters["vs_empty"] = ms / g_emptyMs;
}
BENCHMARK(BM_WrenToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_EmptyProgramOneCore(benchmark::State& state)
{
    OneCore one;
    g_emptyOneCoreMs = Measure(state, WREN_EMPTY_EXE, nullptr, false);
}
BENCHMARK(BM_EmptyProgramOneCore)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_WrenToFirstFrameOneCore(benchmark::State& state)
{
    OneCore one;
    const double ms = Measure(state, WREN_EXE, "--exit-after-frame", true);
    if (g_emptyOneCoreMs > 0)
        state.counters["vs_empty"] = ms / g_emptyOneCoreMs;
}
BENCHMARK(BM_WrenToFirstFrameOneCore)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_WrenToMenuFrame(benchmark::State& state)
{
    std::string argument("--exit-after-frame=");
    argument += std::to_string(FID_GATE);
    const double ms = Measure(state, WREN_EXE, argument.c_str(), true);
    state.counters["after_intro_ms"] = ms - CIntro::TimedLengthMs();
}
BENCHMARK(BM_WrenToMenuFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
