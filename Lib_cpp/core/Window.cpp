#include "Lib_cpp/core/Window.h"

#include "Lib_cpp/core/App.h"
#include "Lib_cpp/core/Diag.h"
#include "platform/base/Clock.h"
#include "platform/base/Error.h"

#include <new>

// Registered before the program's entry runs, in this order.
const UINT g_uIxNotifyAction = RegisterWindowMessageW(u"I_NotifyAction_");
const UINT g_uIxRecall = RegisterWindowMessageW(u"I_Recall_");
const UINT g_uIxFromExternal = RegisterWindowMessageW(u"I_FromExternal_");

namespace {

bool IsMainWindow(HWND hwnd)
{
    IxApp* app = IxGetApp();
    return hwnd && app && app->GetMainWindow() == hwnd;
}

} // namespace

// ---------------------------------------------------------------------------
// IxWindow

IxWindow::IxWindow() = default;

IxWindow::~IxWindow() = default;

const IxMessageMap* IxWindow::ThisMessageMap()
{
    static const IxMessageMapEntry rootEntries[] = {IxMapEnd};
    static const IxMessageMap root{nullptr, rootEntries};
    static const IxMessageMapEntry entries[] = {
        IxMapEntry<IxSig_Fixed>(WM_DESTROY, &IxWindow::OnDestroy),
        IxMapEnd,
    };
    static const IxMessageMap map{&root, entries};
    return &map;
}

const IxMessageMap* IxWindow::GetMessageMap() const
{
    return ThisMessageMap();
}

void IxWindow::Paint(int, HDC, const RECT*) {}

void IxWindow::Detach()
{
    if (m_hWnd) {
        SetWindowLongW(m_hWnd, 0, 0);
        m_hWnd = nullptr;
    }
}

void IxWindow::OnExternalNotice(WPARAM, LPARAM) {}

BOOL IxWindow::InvokeSoftKey(WCHAR, IxTextInput*, IxTextInput*)
{
    return FALSE;
}

BOOL IxWindow::Create(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width, int height,
                      HWND parent, HINSTANCE instance)
{
    HWND hwnd = CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, nullptr, instance, this);
    if (hwnd && IsWindow(hwnd))
        return TRUE;
    m_hWnd = nullptr;
    IxRecordError(IXERR_CREATEWINDOW);
    return FALSE;
}

BOOL IxWindow::Destroy()
{
    if (IsMainWindow(m_hWnd)) {
        if (m_nDispatchDepth > 0) {
            m_bClosing = TRUE;
            return TRUE;
        }
        return DestroyWindow(m_hWnd);
    }
    HWND hwnd = m_hWnd;
    Detach();
    return DestroyWindow(hwnd);
}

void IxWindow::DeleteWhenIdle()
{
    if (m_nDispatchDepth > 0)
        m_bDeletePending = true;
    else
        delete this;
}

LRESULT IxWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (DispatchMessageMap(message, wParam, lParam, &result))
        return result;
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

bool IxWindow::DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const IxMessageMapEntry* entry = nullptr;
    for (const IxMessageMap* map = GetMessageMap(); map && !entry; map = map->base) {
        for (const IxMessageMapEntry* e = map->entries; e->kind != IxSig_End; ++e) {
            if (e->message == message) {
                entry = e;
                break;
            }
        }
    }
    if (!entry)
        return false;

    LRESULT r = 0;
    switch (entry->kind) {
    case IxSig_WL:
        r = (this->*entry->handler.wl)(wParam, lParam);
        break;
    case IxSig_Notify:
        r = (this->*entry->handler.notify)(reinterpret_cast<NMHDR*>(lParam), entry->arg1);
        break;
    case IxSig_Create:
        r = (this->*entry->handler.create)(reinterpret_cast<CREATESTRUCTW*>(lParam), entry->arg1);
        break;
    case IxSig_Timer:
    case IxSig_Focus:
        (this->*entry->handler.wa)(wParam, entry->arg1);
        break;
    case IxSig_Size:
    case IxSig_Mouse:
        (this->*entry->handler.wxy)(wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        break;
    case IxSig_Key:
        (this->*entry->handler.key)(wParam, LOWORD(static_cast<UINT_PTR>(lParam)),
                                    HIWORD(static_cast<UINT_PTR>(lParam)));
        break;
    case IxSig_Command:
        (this->*entry->handler.command)(LOWORD(wParam), lParam, HIWORD(wParam));
        break;
    case IxSig_Fixed:
        (this->*entry->handler.aa)(entry->arg2, entry->arg1);
        break;
    default:
        return false;
    }
    *result = r;
    return true;
}

void IxWindow::OnDestroy(INT_PTR, INT_PTR)
{
    if (IsMainWindow(m_hWnd))
        PostQuitMessage(0);
}

LRESULT IxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        if (auto* object = cs ? static_cast<IxWindow*>(cs->lpCreateParams) : nullptr) {
            object->m_hWnd = hwnd;
            SetWindowLongW(hwnd, 0, reinterpret_cast<LONG_PTR>(object));
        }
    }
    auto* object = reinterpret_cast<IxWindow*>(GetWindowLongW(hwnd, 0));
    if (!object)
        return 0;

    ++object->m_nDispatchDepth;
    LRESULT result = object->WindowProc(message, wParam, lParam);
    if (message == WM_DESTROY) {
        if (auto* attached = reinterpret_cast<IxWindow*>(GetWindowLongW(hwnd, 0))) {
            bool main = IsMainWindow(hwnd);
            attached->Detach();
            // The main window's object belongs to the window; others belong
            // to their creators.
            if (main)
                attached->m_bDeletePending = true;
        }
    }
    if (--object->m_nDispatchDepth > 0)
        return result;
    if (object->m_bDeletePending) {
        delete object;
        return result;
    }
    if (object->m_bClosing && IsWindow(object->m_hWnd)) {
        // A close asked for inside a handler: the handlers have all returned.
        object->m_bClosing = FALSE;
        DestroyWindow(object->m_hWnd);
    }
    return result;
}
