// Wren's kernel frame: its creation step brings the application into the
// framework. It makes CKernelObj the frame's hook, adds the unit's font,
// tunes the kernel, queues the indicator bitmaps for the preloader, fills
// the font table and creates the full-screen pages in their order, taking
// the application's start tick on the way. When the frame goes, the unit's
// font is removed again and the font table released.
#pragma once

#include "Lib_cpp/frame/KernelFrame.h"

class CPlayerFrame : public IxKernelFrame {
public:
    CPlayerFrame(HINSTANCE instance, IxFrameWnd* window);
    ~CPlayerFrame() override;

    // Runs once, on the user-interface thread; returns no first view.
    IxElement* Created() override;

    // The tick count taken between the eighth and the ninth page.
    static DWORD GetStartTick();

protected:
    // The page of a view id, created through its screen's constructor and
    // IxElement::Create over the full screen; null when the screen is not
    // built or memory runs out (the page is then left out).
    virtual IxElement* NewPage(int viewId);
};

// With on: adds "\NAND\Wren\Corvan_AVN.ttf" unless a family named as the
// unit's face is there; without: removes it when one is. Either way a left-
// over "\NAND\Wren\Corvan_AVN.tt2" is deleted.
void LoadSystemFont(BOOL on);
