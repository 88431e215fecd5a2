// What the 3D menu asks of the shell, answered from ViewCenter's view
// history. The menu's images being in is posted to the main window as the
// load-complete action (the loader thread may not enter the kernel).
#pragma once

#include "Source/gate/GateShell.h"

class CGateLink : public gate::IxGateShell {
public:
    // The process's link (it holds no state; the menu may use it from its
    // loader thread until the process ends).
    static CGateLink& Get();

    int GetLastSourceView(int n) override;
    BOOL IsAvOff() override;
    BOOL IsVolumePopupBlocked() override;
    std::u16string GetGateBackgroundPath() override;
    void GateImagesLoaded() override;

    // The window the load-complete action is posted to.
    void SetWindow(HWND window) { m_hWindow = window; }

private:
    HWND m_hWindow = nullptr;
};
