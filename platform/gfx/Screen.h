// The unit's display: one 800x480 framebuffer of RGB565 pixels, rows top
// down, that the window system composes into. What is shown goes through a
// backend: headless by default (nothing is shown, no input arrives), a
// desktop window when one is plugged in. Input reaches the UI side through
// one queue that the backend feeds and tests or tools inject into.
#pragma once

#include "platform/base/PageBuffer.h"
#include "platform/base/Types.h"
#include "platform/gfx/Color.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

inline constexpr int kScreenWidth = 800;
inline constexpr int kScreenHeight = 480;

// The colour key, COLORREF 0xF800F8 (magenta) as RGB565: where the windows
// drew it, the video plane beneath them shows through.
inline constexpr std::uint16_t kColorKey565 = 0xF81F;

// One touch or key event. Touch positions are screen pixels.
struct InputEvent {
    enum class Kind { TouchDown, TouchMove, TouchUp, KeyDown, KeyUp, Quit };
    Kind kind = Kind::Quit;
    int x = 0;
    int y = 0;
    UINT key = 0;
};

// What shows the framebuffer and delivers input. Called with the screen
// locked, from the thread that presents or polls.
class ScreenBackend {
public:
    virtual ~ScreenBackend() = default;
    // dirty is inside the screen and not empty. pixels are the windows'
    // drawing without the inverted rectangles; Screen::CopyShown gives the
    // picture as shown.
    virtual void Present(const std::uint16_t* pixels, int width, int height, const RECT& dirty) = 0;
    virtual bool PollInput(InputEvent& event) = 0;
};

class Screen {
public:
    static Screen& Get();

    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    int Width() const { return kScreenWidth; }
    int Height() const { return kScreenHeight; }

    // The pixels, Width() per row, as the windows drew them (without the
    // inverted rectangles). Hold Lock() while another thread may
    // draw or present. The other methods lock by themselves; the lock is
    // recursive, so they may be called while holding it.
    std::uint16_t* Pixels() { return m_pixels; }
    const std::uint16_t* Pixels() const { return m_pixels; }
    std::unique_lock<std::recursive_mutex> Lock() const { return std::unique_lock(m_mutex); }

    // The pixel as shown (inverted where an odd number of the inverted
    // rectangles cover it); 0 outside the screen.
    std::uint16_t Pixel(int x, int y) const;
    void Fill(std::uint16_t rgb565);

    // Rectangles shown inverted over the windows' drawing: the carets. They
    // are kept apart from the pixels, so drawing under them never mixes with
    // them; replacing them presents the parts that changed.
    void SetInverted(std::vector<RECT> rects);
    std::vector<RECT> Inverted() const;
    // Copies the part of area inside the screen, as shown, to out: pixel
    // (x, y) goes to out[(y - area.top) * outStride + (x - area.left)].
    void CopyShown(const RECT& area, std::uint16_t* out, int outStride) const;

    // Video planes: pictures that the screen shows beneath the windows,
    // through the pixels where the windows drew the colour key; elsewhere
    // they are covered. A plane with a higher number lies above the lower
    // ones. SetVideoPlane places the plane (screen coordinates) with a copy
    // of its pixels (stride in pixels); a plane of the same number is
    // replaced. False for an empty area, null pixels or a stride below the
    // width.
    bool SetVideoPlane(int plane, const RECT& area, const std::uint16_t* pixels, int stride);
    void RemoveVideoPlane(int plane);
    bool HasVideoPlane(int plane) const;

    // Hands the changed rectangle (clipped to the screen) to the backend.
    void Present(const RECT& dirty);

    // Replaces the backend; null goes back to the headless one.
    void SetBackend(std::unique_ptr<ScreenBackend> backend);

    // Queues an injected event; false when the queue is full.
    bool PushInput(const InputEvent& event);
    // The next injected event, else the next one from the backend.
    bool PollInput(InputEvent& event);

    // Writes the screen as shown as an 8-bit RGB PNG. The file is written under a
    // temporary name in the same folder and renamed, so a reader sees
    // either the old file or the whole new one.
    bool SavePng(const std::string& path) const;

private:
    Screen();

    mutable std::recursive_mutex m_mutex;
    static constexpr std::size_t kPixelCount = static_cast<std::size_t>(kScreenWidth) * kScreenHeight;
    PageBuffer m_buffer;
    std::uint16_t* m_pixels;
    std::vector<RECT> m_inverted;
    struct VideoPlane {
        int number;
        RECT area;
        std::vector<std::uint16_t> pixels; // area's width per row
    };
    std::vector<VideoPlane> m_planes; // lowest number first
    // The pixel as composed: the colour key lets the top plane under (x, y)
    // show. Caller holds the lock.
    std::uint16_t Composed(int x, int y, std::uint16_t drawn) const;
    std::unique_ptr<ScreenBackend> m_backend;

    std::mutex m_inputMutex;
    std::deque<InputEvent> m_input;
};

// Reads a PNG as 0xRRGGBB pixels, rows top down.
bool ReadPng(const std::string& path, int& width, int& height, std::vector<std::uint32_t>& rgb);

} // namespace platform
