#include "Lib_cpp/frame/FrameCaret.h"

#include "platform/ui/Window.h"

void IxFrameCaret::Apply(const IxCaretRect& request, HWND hwnd)
{
    if (request.width != m_caret.width || request.height != m_caret.height) {
        if (m_caret.width > 0)
            DestroyCaret();
        if (request.width > 0 && hwnd)
            CreateCaret(hwnd, nullptr, request.width, request.height);
    }
    m_caret = request;
    if (m_caret.width > 0 && hwnd) {
        SetCaretPos(m_caret.x, m_caret.y);
        ShowCaret(hwnd);
    }
}

void IxFrameCaret::Show(BOOL on, HWND hwnd)
{
    if (m_caret.width <= 0 || !hwnd)
        return;
    if (!on) {
        DestroyCaret();
        return;
    }
    CreateCaret(hwnd, nullptr, m_caret.width, m_caret.height);
    SetCaretPos(m_caret.x, m_caret.y);
    ShowCaret(hwnd);
}

void IxFrameCaret::Drop()
{
    if (m_caret.width > 0)
        DestroyCaret();
    Reset();
}
