// The application object and the program entry.
#pragma once

#include "Lib_cpp/core/Diag.h"
#include "platform/base/Types.h"

#include <atomic>

class IxApp {
public:
    // Stores the class name (also the main window's title) and becomes the
    // process's application object.
    explicit IxApp(LPCWSTR className);
    virtual ~IxApp();
    IxApp(const IxApp&) = delete;
    IxApp& operator=(const IxApp&) = delete;

    // Creates the main window; the result is not used.
    virtual HWND InitInstance() = 0;
    // Called when start-up fails; Run returns its result.
    virtual int OnError(const IxLastError& record);

    // Runs the application once per unit: 0 when another instance runs, the
    // result of OnError on failure, else the wParam of WM_QUIT.
    int Run(HINSTANCE instance, LPWSTR commandLine, int showCommand);

    LPCWSTR GetClassName() const { return m_lpszClassName; }
    HINSTANCE GetInstance() const { return m_hInstance; }
    LPWSTR GetCommandLine() const { return m_lpszCmdLine; }
    int GetShowCommand() const { return m_nCmdShow; }
    // Time stamp of the message the loop fetched last (the kernel's busy test).
    DWORD GetLastMessageTime() const { return m_dwLastMsgTime; }
    // Nested loops (the modal loop) record the stamp of the message they handle.
    void SetLastMessageTime(DWORD time) { m_dwLastMsgTime = time; }
    // Null until the first frame window is created. Worker threads read it
    // to post their reports.
    HWND GetMainWindow() const { return m_hMainWnd.load(std::memory_order_acquire); }
    void SetMainWindow(HWND hwnd) { m_hMainWnd.store(hwnd, std::memory_order_release); }

protected:
    LPWSTR m_lpszCmdLine = nullptr;
    int m_nCmdShow = 0;
    DWORD m_dwLastMsgTime = 0;
    LPCWSTR m_lpszClassName;
    HINSTANCE m_hInstance = nullptr;
    std::atomic<HWND> m_hMainWnd{nullptr};
};

// The process's application object (null before one is constructed).
IxApp* IxGetApp();

// The program entry: banner, compiled-in options, time base, then Run of the
// application object.
int IxAppMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);
