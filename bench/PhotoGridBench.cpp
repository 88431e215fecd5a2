// Thumbnails for a grid of 24 photos (JPEG, 1920x1080, written by the
// benchmark) decoded by the picture loader into the 24 picture controls of a
// list that shows its stand-by picture meanwhile.
//
// Reported time: from setting the 24 paths until the last thumbnail has
// arrived in its cell (goal: under 150 ms). "ui_block_ms" is the longest the
// user-interface thread was busy in one go meanwhile (setting the paths, or
// handling one message): the decoding runs on the loader thread. "ref_ms"
// is the reference measured in the same run: the same 24 thumbnails decoded
// on the user-interface thread, which is then blocked for all of it.
#include "BenchFrame.h"
#include "Lib_cpp/controls/ImageLoader.h"
#include "Lib_cpp/controls/PathImage.h"
#include "Lib_cpp/controls/View.h"
#include "Lib_cpp/core/App.h"
#include "Lib_cpp/image/Image.h"
#include "Lib_cpp/kernel/ServiceCodes.h"
#include "platform/base/Text.h"
#include "platform/gfx/Picture.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kPhotos = 24;
constexpr int kColumns = 6;
constexpr int kCellWidth = 124, kCellHeight = 100, kGap = 8;

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

class BenchApp : public IxApp {
public:
    BenchApp() : IxApp(u"PhotoGridBenchApp") {}
    HWND InitInstance() override { return nullptr; }
};

// The photo list: a view whose image table answers the stand-by picture.
class PhotoList : public IxView {
public:
    PhotoList() : standby(new IxColorImage(RGB(60, 60, 60), 1, 1))
    {
        m_nId = 40;
        SetRectNow(RECT{0, 0, 800, 480});
        SetFlags(0, IXF_PENDING);
    }
    ~PhotoList() override { standby->Release(); }
    LRESULT Control(int code, LPARAM a, LPARAM b) override
    {
        if (code == IXSVC_LISTIMAGE && b == IXLIMG_STANDBY)
            return reinterpret_cast<LRESULT>(standby);
        return IxView::Control(code, a, b);
    }
    IxImage* standby;
};

std::u16string PhotoPath(int index)
{
    std::u16string path(u"\\HDD\\Photos\\photo");
    path.append(platform::FromUtf8(std::to_string(index))).append(u".jpg");
    return path;
}

// Photo-like pixels, each photo its own.
void WritePhotos(const std::string& root)
{
    std::filesystem::create_directories(root + "/HDD/Photos");
    platform::Picture picture;
    picture.Allocate(1920, 1080);
    for (int n = 0; n < kPhotos; ++n) {
        for (int y = 0; y < 1080; ++y) {
            for (int x = 0; x < 1920; ++x) {
                auto r = static_cast<std::uint32_t>((x + n * 80) % 1920 * 255 / 1919);
                auto g = static_cast<std::uint32_t>(y * 255 / 1079);
                auto b = static_cast<std::uint32_t>(128 + 127 * std::sin((x + y + n * 13) * 0.03));
                picture.At(x, y) = 0xFF000000u | (r << 16) | (g << 8) | b;
            }
        }
        std::vector<BYTE> bytes;
        platform::EncodeJpeg(picture, 85, bytes);
        std::ofstream(root + "/HDD/Photos/photo" + std::to_string(n) + ".jpg", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
}

RECT Cell(int index)
{
    const int x = 10 + (index % kColumns) * (kCellWidth + kGap);
    const int y = 20 + (index / kColumns) * (kCellHeight + kGap);
    return RECT{x, y, x + kCellWidth, y + kCellHeight};
}

void BM_PhotoGridThumbnails(benchmark::State& state)
{
    BenchFrame frame;
    if (!frame.Ready()) {
        state.SkipWithError("no frame window");
        return;
    }
    BenchApp app;
    app.SetMainWindow(frame.hwnd);
    WritePhotos(frame.root);
    IxImageLoader& loader = IxImageLoader::Get();

    double worstBlock = 0, refTotal = 0;
    for (auto _ : state) {
        auto* list = new PhotoList;
        IxPathImage* cells[kPhotos];
        for (int i = 0; i < kPhotos; ++i) {
            cells[i] = new IxPathImage(&loader);
            cells[i]->SetRectNow(Cell(i));
            cells[i]->SetFlags(IXF_STRETCH, 0);
            list->AddChild(cells[i]);
        }
        frame.frame->PushLayer(list, nullptr, IXLAYER_SCREEN);
        frame.Repaint();

        const auto start = Clock::now();
        for (int i = 0; i < kPhotos; ++i) {
            IxString path(PhotoPath(i).c_str());
            cells[i]->SetProperty(IXP_TEXTLATER, reinterpret_cast<LPARAM>(&path));
        }
        double block = Ms(Clock::now() - start);
        const auto loaded = [&] {
            return std::all_of(cells, cells + kPhotos, [](IxPathImage* c) { return c->GetPendingPath().IsEmpty(); });
        };
        MSG msg;
        while (!loaded() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            const auto busy = Clock::now();
            DispatchMessageW(&msg);
            block = std::max(block, Ms(Clock::now() - busy));
        }
        const auto end = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        worstBlock = std::max(worstBlock, block);
        frame.Repaint();
        frame.frame->PopLayer(list->GetId());

        // The reference: the same thumbnails decoded on this thread.
        const auto refStart = Clock::now();
        for (int i = 0; i < kPhotos; ++i) {
            auto* image = new IxDecodedImage(PhotoPath(i).c_str(), kCellWidth, kCellHeight, IXLM_SCALED, nullptr);
            image->Release();
        }
        refTotal += Ms(Clock::now() - refStart);
    }
    app.SetMainWindow(nullptr);
    const double iterations = static_cast<double>(state.iterations());
    state.counters["ui_block_ms"] = worstBlock;
    state.counters["ref_ms"] = refTotal / iterations;
}
BENCHMARK(BM_PhotoGridThumbnails)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
