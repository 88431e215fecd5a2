#include "platform/ui/DesktopWindow.h"

#include "platform/base/Text.h"
#include "platform/gfx/Screen.h"
#include "platform/ui/SdlInternal.h"
#include "platform/ui/Sound.h"
#include "platform/ui/Window.h"

#include <cmath>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {
namespace {

// What the screen's side and the SDL thread share.
struct Link {
    std::mutex lock;
    RECT dirty{};
    bool hasDirty = false;
    bool wakePending = false; // a wake event is queued and not yet seen
    bool stop = false;
    Uint32 wakeEvent = 0;

    // Caller holds lock.
    void Wake()
    {
        if (wakePending)
            return;
        SDL_Event event{};
        event.type = wakeEvent;
        wakePending = Sdl().SDL_PushEvent(&event) == 1;
    }
};

// Marks what changed and wakes the SDL thread, which copies it; Present
// runs on a drawing thread and must not wait for the display.
class DesktopBackend final : public ScreenBackend {
public:
    explicit DesktopBackend(std::shared_ptr<Link> link) : m_link(std::move(link)) {}

    void Present(const std::uint16_t*, int, int, const RECT& dirty) override
    {
        std::lock_guard lock(m_link->lock);
        if (m_link->hasDirty) {
            m_link->dirty
                = RECT{std::min(m_link->dirty.left, dirty.left), std::min(m_link->dirty.top, dirty.top),
                       std::max(m_link->dirty.right, dirty.right), std::max(m_link->dirty.bottom, dirty.bottom)};
        } else {
            m_link->dirty = dirty;
            m_link->hasDirty = true;
        }
        m_link->Wake();
    }

    // Input does not pass through the screen's queue: the SDL thread posts
    // it to the windows as it arrives.
    bool PollInput(InputEvent&) override { return false; }

private:
    std::shared_ptr<Link> m_link;
};

UINT KeyFromSdl(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return static_cast<UINT>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9)
        return static_cast<UINT>('0' + (key - SDLK_0));
    switch (key) {
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_END:
        return VK_END;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    default:
        // F1..F12 are kept for the bezel keys; other keys have no
        // counterpart on the unit.
        return 0;
    }
}

class DesktopWindow {
public:
    DesktopWindow(int scale, std::shared_ptr<Link> link) : m_scale(scale), m_link(std::move(link)) {}

    // On the SDL thread: opens the window, tells starter whether it could,
    // and runs until asked to stop.
    void Run(std::promise<bool>& started, std::string* error)
    {
        const bool opened = Open();
        if (!opened && error)
            *error = Sdl().SDL_GetError();
        started.set_value(opened);
        if (opened)
            Loop();
        Close();
    }

private:
    bool Open()
    {
        // The program takes SIGINT and SIGTERM itself.
        Sdl().SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // Left to itself SDL falls back to an off-screen driver, a window
        // nobody sees: only a real display counts, unless SDL_VIDEODRIVER
        // names a driver on purpose.
        if (!std::getenv("SDL_VIDEODRIVER")) {
            const char* wayland = std::getenv("WAYLAND_DISPLAY");
            const char* x11 = std::getenv("DISPLAY");
            if (wayland && *wayland)
                Sdl().SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland,x11");
            else if (x11 && *x11)
                Sdl().SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
            else {
                Sdl().SDL_SetError("neither DISPLAY nor WAYLAND_DISPLAY is set");
                return false;
            }
        }
        if (Sdl().SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return false;
        m_initialised = true;
        m_window = Sdl().SDL_CreateWindow("Wren", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          kScreenWidth * m_scale, kScreenHeight * m_scale, SDL_WINDOW_SHOWN);
        if (m_window)
            m_renderer = Sdl().SDL_CreateRenderer(m_window, -1, 0);
        if (m_renderer)
            m_texture = Sdl().SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                                kScreenWidth, kScreenHeight);
        const Uint32 wake = Sdl().SDL_RegisterEvents(1);
        if (!m_texture || wake == static_cast<Uint32>(-1))
            return false;
        std::lock_guard lock(m_link->lock);
        m_link->wakeEvent = wake;
        // The first frame shows whatever the screen holds already.
        m_link->dirty = RECT{0, 0, kScreenWidth, kScreenHeight};
        m_link->hasDirty = true;
        return true;
    }

    void Close()
    {
        if (m_texture)
            Sdl().SDL_DestroyTexture(m_texture);
        if (m_renderer)
            Sdl().SDL_DestroyRenderer(m_renderer);
        if (m_window)
            Sdl().SDL_DestroyWindow(m_window);
        if (m_initialised)
            Sdl().SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    void Loop()
    {
        Sdl().SDL_StartTextInput();
        for (;;) {
            SDL_Event event;
            bool redraw = false;
            if (Sdl().SDL_WaitEvent(&event)) {
                do
                    redraw |= Handle(event);
                while (Sdl().SDL_PollEvent(&event));
            }
            RECT dirty{};
            bool hasDirty;
            {
                std::lock_guard lock(m_link->lock);
                if (m_link->stop)
                    return;
                hasDirty = m_link->hasDirty;
                dirty = m_link->dirty;
                m_link->hasDirty = false;
            }
            if (hasDirty) {
                const SDL_Rect area{dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top};
                // The picture as shown, with the carets inverted over it.
                m_shown.resize(static_cast<std::size_t>(area.w) * area.h);
                Screen::Get().CopyShown(dirty, m_shown.data(), area.w);
                Sdl().SDL_UpdateTexture(m_texture, &area, m_shown.data(),
                                        area.w * static_cast<int>(sizeof(std::uint16_t)));
            }
            if (hasDirty || redraw) {
                Sdl().SDL_RenderCopy(m_renderer, m_texture, nullptr, nullptr);
                Sdl().SDL_RenderPresent(m_renderer);
            }
        }
    }

    // A window position to the unit's screen, rounding down so that points
    // left of or above the window stay negative.
    POINT ToUnit(int x, int y) const
    {
        int width = 0, height = 0;
        Sdl().SDL_GetWindowSize(m_window, &width, &height);
        if (width <= 0 || height <= 0)
            return POINT{x, y};
        return POINT{static_cast<LONG>(std::floor(static_cast<double>(x) * kScreenWidth / width)),
                     static_cast<LONG>(std::floor(static_cast<double>(y) * kScreenHeight / height))};
    }

    // Turns one event into the unit's input; true when the window needs
    // drawing again.
    bool Handle(const SDL_Event& event)
    {
        if (event.type == m_link->wakeEvent) {
            std::lock_guard lock(m_link->lock);
            m_link->wakePending = false;
            return false;
        }
        switch (event.type) {
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_LEFT) {
                const POINT p = ToUnit(event.button.x, event.button.y);
                DeliverPointer(event.type == SDL_MOUSEBUTTONDOWN ? kPointerDown : kPointerUp, p.x, p.y);
            }
            return false;
        case SDL_MOUSEMOTION:
            if (event.motion.state & SDL_BUTTON_LMASK) {
                const POINT p = ToUnit(event.motion.x, event.motion.y);
                DeliverPointer(kPointerMove, p.x, p.y);
            }
            return false;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (const UINT vk = KeyFromSdl(event.key.keysym.sym))
                DeliverKey(vk, event.type == SDL_KEYDOWN, 0);
            return false;
        case SDL_TEXTINPUT:
            for (WCHAR ch : FromUtf8(event.text.text))
                DeliverKey(0, true, ch);
            return false;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE)
                DeliverClose();
            return event.window.event == SDL_WINDOWEVENT_EXPOSED || event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED;
        default:
            return false;
        }
    }

    const int m_scale;
    std::shared_ptr<Link> m_link;
    bool m_initialised = false;
    SDL_Window* m_window = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    std::vector<std::uint16_t> m_shown; // the dirty part as shown, for the texture
};

struct Running {
    std::shared_ptr<Link> link;
    std::thread thread;
};

std::mutex g_lock;
std::unique_ptr<Running> g_running;

} // namespace

bool StartDesktopWindow(int scale, std::string* error)
{
    std::lock_guard guard(g_lock);
    if (g_running || scale < 1 || scale > kMaxScale) {
        if (error)
            *error = g_running ? "already open" : "scale out of range";
        return false;
    }
    if (!LoadSdl(error))
        return false;
    auto running = std::make_unique<Running>();
    running->link = std::make_shared<Link>();
    std::promise<bool> started;
    std::future<bool> opened = started.get_future();
    running->thread = std::thread([scale, link = running->link, started = std::move(started), error]() mutable {
        DesktopWindow(scale, link).Run(started, error);
    });
    if (!opened.get()) {
        running->thread.join();
        return false;
    }
    Screen::Get().SetBackend(std::make_unique<DesktopBackend>(running->link));
    g_running = std::move(running);
    SetSoundOutput(true);
    return true;
}

void StopDesktopWindow()
{
    std::lock_guard guard(g_lock);
    if (!g_running)
        return;
    SetSoundOutput(false);
    // Once the headless backend is back, nothing presents to the window.
    Screen::Get().SetBackend(nullptr);
    {
        std::lock_guard lock(g_running->link->lock);
        g_running->link->stop = true;
        g_running->link->wakePending = false;
        g_running->link->Wake();
    }
    g_running->thread.join();
    g_running.reset();
}

} // namespace platform
