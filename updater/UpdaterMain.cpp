// WrenUpdater's entry: its own screen (headless, or a desktop window), the
// updater's window, which runs the update of "\HDD\WrenUpdate.UPD" step by
// step with its status panel, busy animation and progress bar,
// over the unit root that WREN_ROOT names (it does not take the unit: the
// unit's owner is the program it updates). Ends on Ctrl-C, SIGTERM or after
// --exit-after milliseconds; WREN_SCREENSHOT saves the screen at the end.
#include "platform/gfx/Screen.h"
#include "platform/ui/DesktopWindow.h"
#include "platform/ui/Window.h"
#include "updater/MainWindow.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

namespace {

std::atomic<HWND> g_window{nullptr};

void PrintUsage()
{
    std::fprintf(stderr,
                 "usage: WrenUpdater [--exit-after MS] [--window[=SCALE] | --headless]\n"
                 "  --window[=SCALE]  show the screen in a desktop window, SCALE times its size\n"
                 "                    (default when DISPLAY or WAYLAND_DISPLAY is set)\n"
                 "  --headless        show no window\n"
                 "  WREN_ROOT        the unit's root folder (default ./unit)\n"
                 "  WREN_SCREENSHOT  save the screen to this PNG when the program ends\n");
}

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
    while (!g_window.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PostMessageW(g_window.load(), WM_CLOSE, 0, 0);
}

} // namespace

int main(int argc, char** argv)
{
    long exitAfterMs = -1;
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    long windowScale = (display && *display) || (wayland && *wayland) ? 1 : 0;
    for (int i = 1; i < argc; ++i) {
        char* end = nullptr;
        if (std::strcmp(argv[i], "--exit-after") == 0 && i + 1 < argc) {
            exitAfterMs = std::strtol(argv[++i], &end, 10);
            if (!end || *end || exitAfterMs < 0) {
                PrintUsage();
                return 2;
            }
        } else if (std::strcmp(argv[i], "--window") == 0) {
            windowScale = 1;
        } else if (std::strncmp(argv[i], "--window=", 9) == 0) {
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
        }
    }

    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(RunStopper, exitAfterMs).detach();

    bool windowShown = false;
    if (windowScale > 0) {
        std::string error;
        windowShown = platform::StartDesktopWindow(static_cast<int>(windowScale), &error);
        if (!windowShown)
            std::fprintf(stderr, "WrenUpdater: no desktop window (%s); running headless\n", error.c_str());
    }

    int result = 1;
    {
        CMainWIndow window;
        if (window.Create(GetModuleHandleW(nullptr))) {
            UpdateWindow(window.GetHwnd());
            window.ProgressBar().SetPercent(0);
            g_window = window.GetHwnd();
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            result = static_cast<int>(msg.wParam);
        }
        if (const char* shot = std::getenv("WREN_SCREENSHOT"); shot && *shot)
            platform::Screen::Get().SavePng(shot);
    }
    if (windowShown)
        platform::StopDesktopWindow();
    return result;
}
