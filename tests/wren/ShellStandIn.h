// The unit's shell as the whole-shell tests and the camera benchmark run
// it in their own process: the application, the unit's main window and its
// kernel frame with CKernelObj, the 3D menu's page stood in for by a plain
// page (the menu draws through the GL layer, which they do not look at).
#pragma once

#include "Lib_cpp/controls/View.h"
#include "Lib_cpp/core/App.h"
#include "Source/shell/MainWnd.h"
#include "Source/shell/PlayerFrame.h"
#include "Source/shell/ShellIds.h"

namespace shellstandin {

// The application whose main window the shell's window becomes (the child
// windows of the screens are made against it).
class ShellApp : public IxApp {
public:
    ShellApp() : IxApp(u"ShellStandInApp") {}
    HWND InitInstance() override { return nullptr; }
};

class ShellFrame : public CPlayerFrame {
public:
    using CPlayerFrame::CPlayerFrame;
    IxElement* NewPage(int viewId) override
    {
        if (viewId != FID_GATE)
            return CPlayerFrame::NewPage(viewId);
        auto* page = new IxView;
        page->SetId(viewId);
        return page;
    }
};

class ShellWnd : public CMainWnd {
protected:
    IxKernelFrame* NewKernelFrame(HINSTANCE instance) override { return new ShellFrame(instance, this); }
};

} // namespace shellstandin
