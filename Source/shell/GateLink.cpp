#include "Source/shell/GateLink.h"

#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/core/Window.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/shell/ShellIds.h"
#include "Source/shell/ViewCenter.h"
#include "platform/ui/Window.h"

CGateLink& CGateLink::Get()
{
    static CGateLink* link = new CGateLink; // outlives the menu's loader thread
    return *link;
}

int CGateLink::GetLastSourceView(int n)
{
    ViewCenter* center = ViewCenter::GetInstance();
    if (!center || n < 1)
        return 0;
    for (int i = 0, found = 0; i < center->GetHistoryCount(); ++i) {
        const int view = center->GetHistoryEntry(i);
        if (view >= FID_FILES && ++found == n)
            return view;
    }
    return 0;
}

BOOL CGateLink::IsAvOff()
{
    ViewCenter* center = ViewCenter::GetInstance();
    return center && center->IsAvOff();
}

BOOL CGateLink::IsVolumePopupBlocked()
{
    // Nothing in the shell keeps the menu's volume popup off yet.
    return FALSE;
}

std::u16string CGateLink::GetGateBackgroundPath()
{
    // The user's picture comes from the Setting record with the settings
    // model; until then the menu draws its own background.
    return std::u16string();
}

void CGateLink::GateImagesLoaded()
{
    if (m_hWindow)
        PostMessageW(m_hWindow, g_uIxNotifyAction, IxActionWord(FID_EXT_LOADCOMPLETE, AEV_DEFAULT),
                     FID_EXT_VC_LOADVOICE);
}
