#include "Source/gate/GateUiLayer.h"

#include "Lib_cpp/core/Diag.h"
#include "platform/gfx/DisplayDriver.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/Screen.h"
#include "platform/gl/Egl.h"

namespace gate {
namespace {

// The escape's values for the layer.
constexpr int kLayerOn = 2;
constexpr int kLayerOff = 3;

bool g_enabled = false;
bool g_suspended = false;

void TakeFrameOffScreen()
{
    platform::Screen::Get().RemoveVideoPlane(platform::kGateLayerPlane);
}

} // namespace

BOOL GetGateUILayerFlag()
{
    return g_enabled ? TRUE : FALSE;
}

void SetGateUILayer(int disable)
{
    HDC dc = GetDC(nullptr);
    if (!dc)
        return;
    const bool off = disable == 1;
    IxTrace(off ? u"[GATE] Disable Gate UI Layer \r\n" : u"[GATE] Enable Gate UI Layer \r\n");
    const int value = off ? kLayerOff : kLayerOn;
    ExtEscape(dc, static_cast<int>(DisplayEscape::GateUiLayer), sizeof(value), reinterpret_cast<LPCSTR>(&value), 0,
              nullptr);
    ReleaseDC(nullptr, dc);
    g_enabled = !off;
    g_suspended = false;
    if (off)
        TakeFrameOffScreen();
}

BOOL IsGateRenderingSuspended()
{
    return g_suspended ? TRUE : FALSE;
}

void SuspendGateRendering()
{
    g_suspended = true;
    TakeFrameOffScreen();
}

} // namespace gate
