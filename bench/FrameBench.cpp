// A full repaint of a screen through the kernel frame: a sheet with a
// decoded background picture and 60 children (40 decoded pictures and 20
// text lines) on the 800x480 screen, painted offscreen and copied out; its
// reference is the floor of the same pixel rows moved by memcpy.
#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/core/Window.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "Lib_cpp/image/Image.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/Picture.h"
#include "platform/ui/Window.h"
#include "platform/unit/Unit.h"

#include "BenchFrame.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class Picture : public IxElement {
public:
    Picture(RECT rc, IxImage* image) : m_pImage(image) { SetRectNow(rc); }
    ~Picture() override { m_pImage->Release(); }
    void Draw(IxPaintRecord* record) override { DrawImage(record, m_pImage); }

private:
    IxImage* m_pImage;
};

class Line : public IxElement {
public:
    Line(RECT rc, std::u16string text) : m_text(std::move(text)) { SetRectNow(rc); }
    void Draw(IxPaintRecord* record) override
    {
        IxSavedFont saved = record->dc->SelectFont(0);
        ExtTextOutW(record->dc->GetDC(), 4, Height() - 6, 0, nullptr, m_text.c_str(), static_cast<UINT>(m_text.size()),
                    nullptr);
        record->dc->SelectFontAndColor(saved);
    }

private:
    std::u16string m_text;
};

class Sheet : public IxView {
public:
    Sheet() { SetRectNow(RECT{0, 0, 800, 480}); }
};

// Writes a smooth JPEG of the size under the unit root and returns its unit path.
std::u16string WritePicture(const std::string& root, int index, int width, int height)
{
    platform::Picture picture;
    picture.Allocate(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            auto r = static_cast<std::uint32_t>((x * 255 / width + index * 40) & 0xFF);
            auto g = static_cast<std::uint32_t>(y * 255 / height);
            auto b = static_cast<std::uint32_t>(128 + 127 * std::sin((x + y + index) * 0.1));
            picture.At(x, y) = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    std::vector<BYTE> bytes;
    platform::EncodeJpeg(picture, 85, bytes);
    std::string name = "pic" + std::to_string(index) + ".jpg";
    std::ofstream(root + "/NAND/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::u16string path = u"\\NAND\\";
    for (char c : name)
        path += static_cast<char16_t>(c);
    return path;
}

void BM_FullRepaintOf60Children(benchmark::State& state)
{
    BenchFrame bench;
    if (!bench.Ready()) {
        state.SkipWithError("no frame window");
        return;
    }
    const std::string& root = bench.root;
    HWND hwnd = bench.hwnd;
    IxKernelFrame* frame = bench.frame;

    auto* sheet = new Sheet;
    sheet->SetBackground(new IxDecodedImage(WritePicture(root, 0, 800, 480).c_str(), 0));
    std::vector<std::u16string> tiles;
    for (int i = 1; i <= 8; ++i)
        tiles.push_back(WritePicture(root, i, 96, 64));
    for (int i = 0; i < 40; ++i) {
        int x = 8 + (i % 8) * 99, y = 8 + (i / 8) * 70;
        sheet->AddChild(new Picture(RECT{x, y, x + 96, y + 64}, new IxDecodedImage(tiles[i % 8].c_str(), 0)));
    }
    for (int i = 0; i < 20; ++i) {
        int x = 8 + (i % 2) * 396, y = 360 + (i / 2) * 12;
        sheet->AddChild(new Line(RECT{x, y, x + 390, y + 28}, u"Track " + std::u16string(1, u'A' + i) + u" 음악"));
    }
    frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN);
    UpdateWindow(hwnd);

    // The floor, timed alternately with each repaint: the same pixel rows
    // copied with memcpy (background, 40 tiles, the copy to the screen).
    std::vector<std::uint16_t> from(800 * 480), to(800 * 480);
    auto floorCopy = [&] {
        for (int y = 0; y < 480; ++y)
            std::memcpy(&to[y * 800], &from[y * 800], 800 * 2);
        for (int i = 0; i < 40; ++i)
            for (int y = 0; y < 64; ++y)
                std::memcpy(&to[(8 + (i / 8) * 70 + y) * 800 + 8 + (i % 8) * 99], &from[y * 96], 96 * 2);
        for (int y = 0; y < 480; ++y)
            std::memcpy(&from[y * 800], &to[y * 800], 800 * 2);
        benchmark::ClobberMemory();
    };
    using Clock = std::chrono::steady_clock;
    double floorSeconds = 0, repaintSeconds = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        floorCopy();
        const auto t1 = Clock::now();
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
        const auto t2 = Clock::now();
        floorSeconds += std::chrono::duration<double>(t1 - t0).count();
        const double seconds = std::chrono::duration<double>(t2 - t1).count();
        repaintSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["floor_us"] = floorSeconds * 1e6 / static_cast<double>(state.iterations());
    state.counters["x_floor"] = floorSeconds > 0 ? repaintSeconds / floorSeconds : 0;
}
BENCHMARK(BM_FullRepaintOf60Children)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
