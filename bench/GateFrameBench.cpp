// One frame of the 3D menu as its frame timer draws it, headless on
// llvmpipe with two rendering threads: the scene rendered (background,
// sparkle, shadows, the flipping main button, labels, title, the row of
// sub-buttons flying in), read back into the screen's gate layer, and the
// screen composed as shown. The mode changes every 20 frames, so the flip
// and the rows' show animation run throughout. The reference, timed
// alternately in every iteration, is the same frame without the scene:
// clearing, reading back and composing only. "ref_ms" is that time and
// "x_ref" the ratio, so the drawing's share shows. The timer asks for 20
// frames per second; the goal is under 8 ms per frame.
#include "MenuUnit.h"
#include "Source/gate/GateImageTable.h"
#include "Source/gate/GateScene.h"
#include "platform/gfx/Screen.h"

#include <GLES/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A unit root holding the menu's pictures and the menu's images loaded,
// for the whole run.
class MenuFrame {
public:
    MenuFrame()
    {
        if (!m_unit.Ready())
            return;
        scene = std::make_unique<gate::CGateScene>();
        gate::GateImageTable table(scene->Images());
        table.Prepare();
        for (const auto& entry : table.Entries())
            entry.load();
        scene->SetMode(gate::GateMode::Broadcasting, gate::GateButtonId::Fm);
    }
    ~MenuFrame() { scene.reset(); }
    bool Ready() const { return m_unit.Ready(); }

private:
    // Two cores for Mesa's rasteriser unless the caller says otherwise; set
    // before the unit sets up EGL.
    static const char* Cores()
    {
        setenv("LP_NUM_THREADS", "2", 0);
        return "wren-gate-frame";
    }
    MenuUnit m_unit{Cores()};

public:
    std::unique_ptr<gate::CGateScene> scene;
};

MenuFrame& Menu()
{
    static MenuFrame menu;
    return menu;
}

// The screen as a backend that shows it would take it.
void Compose(std::vector<std::uint16_t>& shown)
{
    const RECT all{0, 0, platform::kScreenWidth, platform::kScreenHeight};
    platform::Screen::Get().CopyShown(all, shown.data(), platform::kScreenWidth);
    benchmark::DoNotOptimize(shown.data());
}

void BM_MenuFrame(benchmark::State& state)
{
    MenuFrame& menu = Menu();
    if (!menu.Ready()) {
        state.SkipWithError("no unit or no EGL");
        return;
    }
    // The windows show the colour key everywhere: the menu's layer is seen.
    platform::Screen::Get().Fill(platform::kColorKey565);
    std::vector<std::uint16_t> shown(static_cast<std::size_t>(platform::kScreenWidth) * platform::kScreenHeight);
    const gate::GateButtonId modes[] = {gate::GateButtonId::Multimedia, gate::GateButtonId::Devices,
                                        gate::GateButtonId::Settings, gate::GateButtonId::Broadcasting};
    double referenceSeconds = 0, frameSeconds = 0;
    long frames = 0;
    for (auto _ : state) {
        // Reference: an empty frame read back and composed.
        auto start = Clock::now();
        {
            auto lock = gate::GateGL::Lock();
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            gate::GateEgl::Swap();
        }
        Compose(shown);
        referenceSeconds += std::chrono::duration<double>(Clock::now() - start).count();

        // The menu's frame, as a touch on a main button left it.
        if (frames % 20 == 0)
            menu.scene->Press(modes[(frames / 20) % 4], TRUE);
        ++frames;
        start = Clock::now();
        {
            auto lock = gate::GateGL::Lock();
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glLoadIdentity();
            menu.scene->Render();
            gate::GateEgl::Swap();
        }
        Compose(shown);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        frameSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    platform::Screen::Get().RemoveVideoPlane(platform::kGateLayerPlane);
    state.counters["ref_ms"] = referenceSeconds * 1e3 / static_cast<double>(state.iterations());
    state.counters["x_ref"] = referenceSeconds > 0 ? frameSeconds / referenceSeconds : 0;
}

} // namespace

BENCHMARK(BM_MenuFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);
