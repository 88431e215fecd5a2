// A full-screen frame window for the benchmarks that paint through the
// kernel frame, over a temporary unit root; NanumGothic is row 0 of its
// font table. Everything goes when the object goes.
#pragma once

#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/core/Window.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "platform/ui/Window.h"
#include "platform/unit/Unit.h"

#include <cstdlib>
#include <filesystem>
#include <string>

class BenchFrame {
public:
    BenchFrame()
    {
        root = (std::filesystem::temp_directory_path() / "wren-bench-XXXXXX").string();
        if (!mkdtemp(root.data()) || !platform::OpenUnit(root))
            return;
        std::filesystem::create_directories(root + "/NAND");
        WNDCLASSW wc{};
        wc.lpfnWndProc = IxWndProc;
        wc.cbWndExtra = 4;
        wc.lpszClassName = kClass;
        RegisterClassW(&wc);
        window = new IxFrameWnd;
        window->Create(0, kClass, u"", WS_VISIBLE, 0, 0, 800, 480, nullptr, nullptr);
        hwnd = window->GetHandle();
        frame = window->GetKernelFrame();
        static IX_STATIC_STRING(kFace, u"NanumGothic");
        if (frame)
            frame->GetFontTable().Add(IxFontEntry{IXFS_ANTIALIAS, -22, &kFace, RGB(255, 255, 255), nullptr});
    }
    ~BenchFrame()
    {
        if (window) {
            DestroyWindow(hwnd);
            delete window;
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {}
            UnregisterClassW(kClass, nullptr);
        }
        platform::CloseUnit();
        std::filesystem::remove_all(root);
    }
    BenchFrame(const BenchFrame&) = delete;
    BenchFrame& operator=(const BenchFrame&) = delete;

    bool Ready() const { return frame != nullptr; }
    // Paints the whole window now.
    void Repaint() const
    {
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
    }

    static constexpr const char16_t* kClass = u"BenchFrameClass";
    std::string root;
    IxFrameWnd* window = nullptr;
    HWND hwnd = nullptr;
    IxKernelFrame* frame = nullptr;
};
