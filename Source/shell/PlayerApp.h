// The head unit's application object.
#pragma once

#include "Lib_cpp/core/App.h"

class CPlayerApp : public IxApp {
public:
    // Class name and main window title "PLAYER", full screen.
    CPlayerApp();
    CPlayerApp(LPCWSTR className, const RECT& mainRect);

    // Creates the main window; returns its handle, or null on failure.
    HWND InitInstance() override;

    const RECT& GetMainRect() const { return m_rcMain; }

private:
    RECT m_rcMain;
};
