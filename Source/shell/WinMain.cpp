// Wren's entry on this system: opens the unit (WREN_ROOT), runs the
// framework's entry with the application object, and ends the program
// cleanly on SIGINT, SIGTERM or after --exit-after milliseconds by closing
// the main window. The screen shows in a desktop window when a display is
// there (or --window asks for one), else it stays headless.

#include "Lib_cpp/core/App.h"
#include "Lib_cpp/core/Diag.h"
#include "Source/shell/KernelObj.h"
#include "Source/shell/PlayerApp.h"
#include "Source/shell/ShellIds.h"
#include "platform/base/Clock.h"
#include "platform/base/Text.h"
#include "platform/gfx/Font.h"
#include "platform/gfx/Screen.h"
#include "platform/gl/Egl.h"
#include "platform/ui/DesktopWindow.h"
#include "platform/ui/Window.h"
#include "platform/unit/Unit.h"
#include "sim/Board.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

// The application object, made before the entry runs.
CPlayerApp theApp;

namespace {

void PrintUsage()
{
    std::fprintf(stderr,
                 "usage: Wren [--exit-after MS | --exit-after-frame[=VIEW]] [--window[=SCALE] | --headless]\n"
                 "  --exit-after-frame[=VIEW]  end once the first frame has been shown (of the screen\n"
                 "                    VIEW when given; headless; start-up timing)\n"
                 "  --window[=SCALE]  show the screen in a desktop window, SCALE times its size\n"
                 "                    (default when DISPLAY or WAYLAND_DISPLAY is set)\n"
                 "  --headless        show no window\n"
                 "  WREN_ROOT        the unit's root folder (default ./unit)\n"
                 "  WREN_LOG         also write the debug output to this file\n"
                 "  WREN_SCREENSHOT  save the screen to this PNG when the program ends\n");
}

// Waits for SIGINT/SIGTERM, or for exitAfterMs when it is not negative, then
// asks the main window to close; retries while the window does not exist yet.
void RunStopper(long exitAfterMs)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    if (exitAfterMs >= 0) {
        timespec ts{exitAfterMs / 1000, (exitAfterMs % 1000) * 1000000L};
        while (sigtimedwait(&set, nullptr, &ts) < 0 && errno == EINTR) {}
    } else {
        int sig = 0;
        sigwait(&set, &sig);
    }
    for (;;) {
        if (HWND main = theApp.GetMainWindow()) {
            PostMessageW(main, WM_CLOSE, 0, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// The headless screen for --exit-after-frame: the first frame presented
// (while the screen view is up, when one is given) is announced on the
// debug output and closes the main window. The 3D menu's frame counts once
// its first picture has been drawn beneath the windows.
class FirstFrameBackend : public platform::ScreenBackend {
public:
    explicit FirstFrameBackend(int view) : m_view(view) {}

    void Present(const std::uint16_t*, int, int, const RECT&) override
    {
        if (m_done || !ViewShown())
            return;
        if (HWND main = theApp.GetMainWindow()) {
            m_done = true;
            NKDbgPrintfW(u"[Wren] first frame shown at [%ld]\r\n", static_cast<long>(GetTickCount()));
            PostMessageW(main, WM_CLOSE, 0, 0);
        }
    }
    bool PollInput(platform::InputEvent&) override { return false; }

private:
    bool ViewShown() const
    {
        if (m_view == 0)
            return true;
        CKernelObj* core = CKernelObj::GetInstance();
        if (!core || core->GetActiveView() != m_view)
            return false;
        return m_view != FID_GATE || platform::Screen::Get().HasVideoPlane(platform::kGateLayerPlane);
    }

    int m_view;
    bool m_done = false;
};

} // namespace

int main(int argc, char** argv)
{
    long exitAfterMs = -1;
    bool exitAfterFrame = false;
    long exitView = 0; // with exitAfterFrame: the screen whose frame ends the run
    // 0: headless; otherwise the window's scale.
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    long windowScale = (display && *display) || (wayland && *wayland) ? 1 : 0;
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--exit-after") == 0 && i + 1 < argc) {
            char* end = nullptr;
            exitAfterMs = std::strtol(argv[++i], &end, 10);
            if (!end || *end || exitAfterMs < 0) {
                PrintUsage();
                return 2;
            }
        } else if (std::strcmp(argv[i], "--exit-after-frame") == 0) {
            exitAfterFrame = true;
        } else if (std::strncmp(argv[i], "--exit-after-frame=", 19) == 0) {
            char* end = nullptr;
            exitView = std::strtol(argv[i] + 19, &end, 10);
            if (!end || *end || exitView <= 0) {
                PrintUsage();
                return 2;
            }
            exitAfterFrame = true;
        } else if (std::strcmp(argv[i], "--window") == 0) {
            windowScale = 1;
        } else if (std::strncmp(argv[i], "--window=", 9) == 0) {
            char* end = nullptr;
            windowScale = std::strtol(argv[i] + 9, &end, 10);
            if (!end || *end || windowScale < 1 || windowScale > platform::kMaxScale) {
                PrintUsage();
                return 2;
            }
        } else if (std::strcmp(argv[i], "--headless") == 0) {
            windowScale = 0;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        } else {
            if (!commandLine.empty())
                commandLine += ' ';
            commandLine += argv[i];
        }
    }

    // Signals are taken by the stopper thread only: block them before any
    // other thread starts, so that every thread inherits the mask.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    // A second start on a root that another process owns finds that
    // process's main window through the unit's control socket; it shows no
    // window of its own and touches nothing under the root.
    bool owner = platform::OpenUnit();
    // The board the unit runs on, with its console on the control socket.
    std::unique_ptr<sim::CBoard> board;
    if (owner) {
        platform::InstallUnitFonts();
        board = std::make_unique<sim::CBoard>(true);
        board->ServeConsole();
    }
    std::thread(RunStopper, exitAfterMs).detach();
    bool windowShown = false;
    if (exitAfterFrame) {
        windowScale = 0;
        platform::Screen::Get().SetBackend(std::make_unique<FirstFrameBackend>(static_cast<int>(exitView)));
    }
    if (owner && windowScale > 0) {
        std::string error;
        windowShown = platform::StartDesktopWindow(static_cast<int>(windowScale), &error);
        if (!windowShown)
            std::fprintf(stderr, "Wren: no desktop window (%s); running headless\n", error.c_str());
    }

    std::u16string wideCommandLine = platform::FromUtf8(commandLine);
    int result = IxAppMain(GetModuleHandleW(nullptr), nullptr, wideCommandLine.data(), SW_SHOW);
    if (windowShown)
        platform::StopDesktopWindow();
    if (board)
        board->StopConsole();
    platform::CloseUnit();
    board.reset();
    return result;
}
