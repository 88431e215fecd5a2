// Start-up: the time from exec to the first frame shown, headless
// (`Wren --exit-after-frame`, which ends once the first frame has been
// presented), against an empty program linked with the same libraries,
// measured in the same run. The ratio is reported as the counter
// "vs_empty".
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Runs the program to its end; the wall time in seconds, or a negative
// value when it could not start or failed.
double RunOnce(const char* path, const char* argument)
{
    char* argv[] = {const_cast<char*>(path), const_cast<char*>(argument), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, path, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return std::chrono::duration<double>(end - start).count();
}

// A unit root for the runs; the first run installs the unit's font there.
const std::string& Root()
{
    static const std::string root = [] {
        std::string path = (std::filesystem::temp_directory_path() / "wren-startup-bench-XXXXXX").string();
        if (!mkdtemp(path.data()))
            std::abort();
        setenv("WREN_ROOT", path.c_str(), 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        return path;
    }();
    return root;
}

void Measure(benchmark::State& state, const char* path, const char* argument)
{
    Root();
    RunOnce(path, argument); // warm the page cache and the unit root
    double total = 0;
    for (auto _ : state) {
        double seconds = RunOnce(path, argument);
        if (seconds < 0) {
            state.SkipWithError("the program did not run cleanly");
            return;
        }
        state.SetIterationTime(seconds);
        total += seconds;
    }
    state.counters["ms"] = total * 1000 / static_cast<double>(state.iterations());
}

double g_emptySeconds = 0;

void BM_EmptyProgram(benchmark::State& state)
{
    Measure(state, WREN_EMPTY_EXE, nullptr);
    g_emptySeconds = state.counters["ms"] / 1000;
}
BENCHMARK(BM_EmptyProgram)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_WrenToFirstFrame(benchmark::State& state)
{
    Measure(state, WREN_EXE, "--exit-after-frame");
    if (g_emptySeconds > 0)
        state.counters["vs_empty"] = state.counters["ms"] / 1000 / g_emptySeconds;
}
BENCHMARK(BM_WrenToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace
