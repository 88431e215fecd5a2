#include "Source/shell/PlayerFrame.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ElementCodes.h"
#include "Lib_cpp/controls/ImageElement.h"
#include "Lib_cpp/core/Window.h"
#include "Lib_cpp/fs/FileSystem.h"
#include "Lib_cpp/image/Image.h"
#include "Source/gate/GateSheet.h"
#include "Source/shell/GateLink.h"
#include "Source/shell/Intro.h"
#include "Source/shell/KernelObj.h"
#include "Source/shell/ShellIds.h"
#include "Source/shell/StartupLists.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/gfx/Gdi.h"
#include "platform/io/File.h"
#include "platform/os/Thread.h"

#include <new>

namespace {

DWORD g_dwStartTick = 0;

constexpr const WCHAR* kUnitFontFile = u"\\NAND\\Wren\\Corvan_AVN.ttf";
constexpr const WCHAR* kUnitFontLeftover = u"\\NAND\\Wren\\Corvan_AVN.tt2";
constexpr const WCHAR* kNaviStartPicture = u"\\NAND\\Wren\\Images\\Rear view\\Lumo_ini.bmp";

constexpr DWORD kExtKeyBusyLimitMs = 700;
constexpr int kGestureStep = 15;
constexpr int kRepeatMs = 200;

int CountUnitFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    return 1;
}

template <class T> IxElement* Made(T* page, const IxElementParams& params)
{
    if (page)
        page->Create(&params);
    return page;
}

} // namespace

void LoadSystemFont(BOOL on)
{
    int count = 0;
    EnumFontFamiliesW(nullptr, g_UnitFontFace.m_pszData, CountUnitFamily, reinterpret_cast<LPARAM>(&count));
    if (on && count == 0)
        AddFontResourceW(kUnitFontFile);
    else if (!on && count > 0)
        RemoveFontResourceW(kUnitFontFile);
    if (GetFileAttributesW(kUnitFontLeftover) != INVALID_FILE_ATTRIBUTES)
        DeleteFileW(kUnitFontLeftover);
}

CPlayerFrame::CPlayerFrame(HINSTANCE instance, IxFrameWnd* window)
    : IxKernelFrame(instance, window, g_uIxNotifyAction, g_uIxRecall, g_uIxFromExternal)
{
}

CPlayerFrame::~CPlayerFrame()
{
    LoadSystemFont(FALSE);
    GetFontTable().ReleaseAll();
}

DWORD CPlayerFrame::GetStartTick()
{
    return g_dwStartTick;
}

IxElement* CPlayerFrame::Created()
{
    NKDbgPrintfW(u"[IxKernelFrame] Created() CurrentThreadID=[0x%lx] \r\n",
                 static_cast<unsigned long>(GetCurrentThreadId()));
    if (auto* core = new (std::nothrow) CKernelObj)
        SetHook(core);
    LoadSystemFont(TRUE);
    IxFsHeapAcquire();

    SetBusyLimit(kExtKeyBusyLimitMs);
    GestureConstants().nStartThreshold = kGestureStep;
    if (IxKernel* kernel = GetKernel())
        kernel->SetRepeatPeriod(kRepeatMs);

    IxStringArray preload{kPreloadCount};
    if (BuildPreloadList(&preload))
        GetPreloader().SetBitmapQueue(preload, 0);

    FillUnitFonts(GetFontTable(), g_nFontIndex);

    CGateLink::Get().SetWindow(GetWindowHandle());
    for (int i = 0; i < kStartPageCount; ++i) {
        if (i == kStartTickAfterPage)
            g_dwStartTick = GetTickCount();
        if (IxElement* page = NewPage(g_StartPages[i]))
            AddPage(page);
    }
    return nullptr;
}

IxElement* CPlayerFrame::NewPage(int viewId)
{
    IxElementParams params;
    params.Clear();
    params.Set(0, 0, 800, 480, viewId, 0);
    switch (viewId) {
    case FID_GATE:
        return Made(new (std::nothrow) gate::CGateSheet(&CGateLink::Get()), params);
    case FID_INTRO:
        // Its content is built when it is first shown.
        return new (std::nothrow) CIntro;
    case FID_NAVISTART: {
        auto* page = new (std::nothrow) IxImageElement;
        if (!page)
            return nullptr;
        // The picture is read when the page is first drawn (the navigation
        // program's start), not while the unit starts. The element takes
        // the image's reference.
        params.nContentKind = IXCONTENT_IMAGE;
        params.lContentValue
            = reinterpret_cast<LPARAM>(new (std::nothrow) IxBitmapImage(kNaviStartPicture, IXLM_DEMAND));
        return Made(page, params);
    }
    default:
        // The radio, media, iPod, Bluetooth, broadcast, DVD, settings, dual
        // zone, AUX, camera, engineering, colour-key and screen-saver screens
        // are created here once they are built.
        return nullptr;
    }
}
