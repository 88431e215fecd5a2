#include "platform/gfx/Screen.h"

#include "platform/base/Error.h"
#include "platform/base/Rect.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// Injected events beyond this are refused rather than piling up.
constexpr std::size_t kMaxQueuedInput = 4096;
// ReadPng refuses anything larger (it reads test screenshots).
constexpr png_uint_32 kMaxReadPixels = 64u * 1024u * 1024u;

class HeadlessBackend final : public ScreenBackend {
public:
    void Present(const std::uint16_t*, int, int, const RECT&) override {}
    bool PollInput(InputEvent&) override { return false; }
};

RECT ClipToScreen(const RECT& r)
{
    return RECT{std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0), std::min<LONG>(r.right, kScreenWidth),
                std::min<LONG>(r.bottom, kScreenHeight)};
}

bool IsEmptyRect(const RECT& r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

} // namespace

Screen& Screen::Get()
{
    static Screen screen;
    return screen;
}

Screen::Screen()
    : m_buffer(kPixelCount * sizeof(std::uint16_t)), m_pixels(reinterpret_cast<std::uint16_t*>(m_buffer.data())),
      m_backend(std::make_unique<HeadlessBackend>())
{
}

std::uint16_t Screen::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= kScreenWidth || y >= kScreenHeight)
        return 0;
    auto lock = Lock();
    std::uint16_t p = Composed(x, y, m_pixels[static_cast<std::size_t>(y) * kScreenWidth + x]);
    for (const RECT& r : m_inverted)
        if (RectContains(r, POINT{x, y}))
            p = static_cast<std::uint16_t>(~p);
    return p;
}

void Screen::SetInverted(std::vector<RECT> rects)
{
    std::vector<RECT> changed;
    {
        auto lock = Lock();
        std::vector<RECT> kept;
        for (const RECT& r : rects)
            if (RECT c = ClipToScreen(r); !IsEmptyRect(c))
                kept.push_back(c);
        if (kept.size() == m_inverted.size()
            && std::equal(kept.begin(), kept.end(), m_inverted.begin(), [](const RECT& a, const RECT& b) {
                   return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
               }))
            return;
        changed = m_inverted;
        changed.insert(changed.end(), kept.begin(), kept.end());
        m_inverted = std::move(kept);
    }
    for (const RECT& r : changed)
        Present(r);
}

std::vector<RECT> Screen::Inverted() const
{
    auto lock = Lock();
    return m_inverted;
}

void Screen::CopyShown(const RECT& area, std::uint16_t* out, int outStride) const
{
    const RECT a = ClipToScreen(area);
    if (IsEmptyRect(a) || !out)
        return;
    auto lock = Lock();
    for (LONG y = a.top; y < a.bottom; ++y) {
        const std::uint16_t* in = m_pixels + static_cast<std::size_t>(y) * kScreenWidth;
        std::uint16_t* row = out + static_cast<std::ptrdiff_t>(y - area.top) * outStride - area.left;
        std::copy(in + a.left, in + a.right, row + a.left);
        if (m_planes.empty())
            continue;
        for (LONG x = a.left; x < a.right; ++x)
            if (row[x] == kColorKey565)
                row[x] = Composed(static_cast<int>(x), static_cast<int>(y), row[x]);
    }
    for (const RECT& r : m_inverted) {
        const RECT i{std::max(r.left, a.left), std::max(r.top, a.top), std::min(r.right, a.right),
                     std::min(r.bottom, a.bottom)};
        for (LONG y = i.top; y < i.bottom; ++y) {
            std::uint16_t* row = out + static_cast<std::ptrdiff_t>(y - area.top) * outStride;
            for (LONG x = i.left; x < i.right; ++x)
                row[x - area.left] = static_cast<std::uint16_t>(~row[x - area.left]);
        }
    }
}

std::uint16_t Screen::Composed(int x, int y, std::uint16_t drawn) const
{
    if (drawn != kColorKey565)
        return drawn;
    for (auto it = m_planes.rbegin(); it != m_planes.rend(); ++it) {
        const RECT& r = it->area;
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return it->pixels[static_cast<std::size_t>(y - r.top) * static_cast<std::size_t>(r.right - r.left)
                              + static_cast<std::size_t>(x - r.left)];
    }
    return drawn;
}

bool Screen::SetVideoPlane(int plane, const RECT& area, const std::uint16_t* pixels, int stride)
{
    const LONG width = area.right - area.left;
    const LONG height = area.bottom - area.top;
    if (width <= 0 || height <= 0 || !pixels || stride < width) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    VideoPlane made{plane, area, std::vector<std::uint16_t>(static_cast<std::size_t>(width) * height)};
    for (LONG y = 0; y < height; ++y)
        std::copy(pixels + static_cast<std::ptrdiff_t>(y) * stride,
                  pixels + static_cast<std::ptrdiff_t>(y) * stride + width,
                  made.pixels.begin() + static_cast<std::ptrdiff_t>(y) * width);
    RECT old{0, 0, 0, 0};
    {
        auto lock = Lock();
        auto it
            = std::find_if(m_planes.begin(), m_planes.end(), [&](const VideoPlane& p) { return p.number == plane; });
        if (it != m_planes.end()) {
            old = it->area;
            m_planes.erase(it);
        }
        auto pos
            = std::find_if(m_planes.begin(), m_planes.end(), [&](const VideoPlane& p) { return p.number > plane; });
        m_planes.insert(pos, std::move(made));
    }
    Present(old);
    Present(area);
    return true;
}

bool Screen::HasVideoPlane(int plane) const
{
    auto lock = Lock();
    return std::any_of(m_planes.begin(), m_planes.end(), [&](const VideoPlane& p) { return p.number == plane; });
}

void Screen::RemoveVideoPlane(int plane)
{
    RECT old{0, 0, 0, 0};
    {
        auto lock = Lock();
        auto it
            = std::find_if(m_planes.begin(), m_planes.end(), [&](const VideoPlane& p) { return p.number == plane; });
        if (it == m_planes.end())
            return;
        old = it->area;
        m_planes.erase(it);
    }
    Present(old);
}

void Screen::Fill(std::uint16_t rgb565)
{
    auto lock = Lock();
    std::fill(m_pixels, m_pixels + kPixelCount, rgb565);
}

void Screen::Present(const RECT& dirty)
{
    const RECT clipped = ClipToScreen(dirty);
    if (IsEmptyRect(clipped))
        return;
    auto lock = Lock();
    m_backend->Present(m_pixels, kScreenWidth, kScreenHeight, clipped);
}

void Screen::SetBackend(std::unique_ptr<ScreenBackend> backend)
{
    auto lock = Lock();
    m_backend = backend ? std::move(backend) : std::make_unique<HeadlessBackend>();
}

bool Screen::PushInput(const InputEvent& event)
{
    std::lock_guard lock(m_inputMutex);
    if (m_input.size() >= kMaxQueuedInput)
        return false;
    m_input.push_back(event);
    return true;
}

bool Screen::PollInput(InputEvent& event)
{
    {
        std::lock_guard lock(m_inputMutex);
        if (!m_input.empty()) {
            event = m_input.front();
            m_input.pop_front();
            return true;
        }
    }
    auto lock = Lock();
    return m_backend->PollInput(event);
}

bool Screen::SavePng(const std::string& path) const
{
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kScreenWidth) * kScreenHeight * 3);
    {
        std::vector<std::uint16_t> shown(kPixelCount);
        CopyShown(RECT{0, 0, kScreenWidth, kScreenHeight}, shown.data(), kScreenWidth);
        std::uint8_t* out = rgb.data();
        for (std::uint16_t c : shown) {
            const std::uint32_t v = Rgb565ToRgb888(c);
            *out++ = static_cast<std::uint8_t>(v >> 16);
            *out++ = static_cast<std::uint8_t>(v >> 8);
            *out++ = static_cast<std::uint8_t>(v);
        }
    }

    // The temporary file sits next to the target so that the rename stays
    // within one file system; its leading dot keeps it out of *.png globs.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::string temp = folder + "." + name + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return false;
    }
    fchmod(fd, 0644);
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        SetLastError(ErrorFromErrno(errno));
        close(fd);
        unlink(temp.c_str());
        return false;
    }

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kScreenWidth;
    image.height = kScreenHeight;
    image.format = PNG_FORMAT_RGB;
    errno = 0;
    const bool written = png_image_write_to_stdio(&image, file, 0, rgb.data(), 0, nullptr) != 0;
    png_image_free(&image);
    const bool closed = fclose(file) == 0;
    if (written && closed && rename(temp.c_str(), path.c_str()) == 0)
        return true;

    SetLastError(ErrorFromErrno(errno));
    unlink(temp.c_str());
    return false;
}

bool ReadPng(const std::string& path, int& width, int& height, std::vector<std::uint32_t>& rgb)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    if (image.width == 0 || image.height == 0 || image.width > kMaxReadPixels / image.height) {
        png_image_free(&image);
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> buffer(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) {
        png_image_free(&image);
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    rgb.resize(static_cast<std::size_t>(image.width) * image.height);
    const std::uint8_t* in = buffer.data();
    for (std::uint32_t& pixel : rgb) {
        pixel = (static_cast<std::uint32_t>(in[0]) << 16) | (static_cast<std::uint32_t>(in[1]) << 8) | in[2];
        in += 3;
    }
    return true;
}

} // namespace platform
