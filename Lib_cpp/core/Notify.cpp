#include "Lib_cpp/core/Notify.h"

#include "Lib_cpp/core/App.h"
#include "Lib_cpp/core/Window.h"

void IxNotifyTarget::Release()
{
    if (m_cRef.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}

BOOL IxNotifyTarget::Post(WORD code, LPARAM value) const
{
    return IxPostEvent(m_wTargetId, code, value);
}

BOOL IxPostEvent(WORD id, WORD code, LPARAM value)
{
    IxApp* app = IxGetApp();
    HWND main = app ? app->GetMainWindow() : nullptr;
    if (!main)
        return FALSE;
    return PostMessageW(main, g_uIxNotifyAction, MAKEWPARAM(id, code), value);
}
