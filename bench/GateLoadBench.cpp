// Loading every image of the 3D menu into the texture atlas, as the loader
// thread does at start: the background, the images always shown and the
// 145 entries of the image table, each read, decoded and uploaded into its
// page. The reference, timed alternately in every iteration, is reading and
// decoding the same files without placing or uploading them: "ref_ms" is
// that time and "x_ref" the ratio, so the upload's share shows.
#include "MenuUnit.h"
#include "Source/gate/GateDecoder.h"
#include "Source/gate/GateImageTable.h"
#include "platform/unit/Unit.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

MenuUnit& Unit()
{
    static MenuUnit unit("wren-gate-bench");
    return unit;
}

// Every file the load reads, as unit paths.
std::vector<std::string> MenuFiles()
{
    gate::GateSceneImages images;
    gate::GateImageTable table(images);
    std::vector<std::string> files{gate::GateImageTable::kDefaultBackground};
    for (const std::string& file : gate::GateImageTable::AlwaysShownFiles())
        files.push_back("\\NAND\\Wren\\" + file);
    for (const auto& entry : table.Entries())
        for (const std::string& file : entry.files)
            files.push_back("\\NAND\\Wren\\" + file);
    return files;
}

void BM_LoadEveryMenuImage(benchmark::State& state)
{
    if (!Unit().Ready()) {
        state.SkipWithError("no unit or no EGL");
        return;
    }
    const std::vector<std::string> files = MenuFiles();
    double referenceSeconds = 0, loadSeconds = 0;
    for (auto _ : state) {
        // Reference: read and decode only.
        auto start = Clock::now();
        for (const std::string& file : files) {
            std::vector<std::uint8_t> bytes;
            gate::GateImageData image;
            gate::GateReadFile(file, bytes);
            gate::GateDecode(gate::GateFormatOf(file), bytes.data(), bytes.size(), image);
            benchmark::DoNotOptimize(image.pixels.data());
        }
        referenceSeconds += std::chrono::duration<double>(Clock::now() - start).count();

        // The load: read, decode, place and upload.
        auto images = std::make_unique<gate::GateSceneImages>();
        gate::GateImageTable table(*images);
        start = Clock::now();
        table.Prepare();
        for (const auto& entry : table.Entries())
            entry.load();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        loadSeconds += seconds;
        state.SetIterationTime(seconds);

        state.PauseTiming();
        images->background.Background().Atlas().Reset();
        gate::GateTexture::ResetAtlases();
        state.ResumeTiming();
    }
    state.counters["images"] = static_cast<double>(files.size());
    state.counters["ref_ms"] = referenceSeconds * 1e3 / static_cast<double>(state.iterations());
    state.counters["x_ref"] = referenceSeconds > 0 ? loadSeconds / referenceSeconds : 0;
}

} // namespace

BENCHMARK(BM_LoadEveryMenuImage)->UseManualTime()->Unit(benchmark::kMillisecond);
