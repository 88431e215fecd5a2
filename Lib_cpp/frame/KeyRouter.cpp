#include "Lib_cpp/frame/KeyRouter.h"

#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/ui/Window.h"

namespace {

// Navigation code of a key press; 0 for other keys.
int NavigationCode(UINT key)
{
    switch (key) {
    case VK_TAB:
        return IXNAV_TAB;
    case VK_RIGHT:
        return IXNAV_RIGHT;
    case VK_LEFT:
        return IXNAV_LEFT;
    case VK_UP:
        return IXNAV_UP;
    case VK_DOWN:
        return IXNAV_DOWN;
    case VK_HOME:
        return IXNAV_HOME;
    case VK_END:
        return IXNAV_END;
    case VK_PRIOR:
        return IXNAV_PAGEUP;
    case VK_NEXT:
        return IXNAV_PAGEDOWN;
    case VK_RETURN:
        return IXNAV_ENTER;
    case VK_ESCAPE:
        return IXNAV_ESCAPE;
    case VK_SPACE:
        return IXNAV_SPACE;
    case VK_DELETE:
        return IXNAV_DELETE;
    case VK_BACK:
        return IXNAV_BACKSPACE;
    default:
        return 0;
    }
}

// Navigation code of a key release (message 0x290).
int ReleaseNavigationCode(UINT key)
{
    switch (key) {
    case VK_RETURN:
        return IXNAV_ENTERRELEASED;
    case VK_ESCAPE:
        return IXNAV_ESCAPERELEASED;
    default:
        return 0;
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Access gestures and key sequences

BOOL IxKeyRouter::MatchAccessGesture(POINT screenPoint)
{
    BOOL advanced = FALSE;
    IxArray<IxAccessGesture>& gestures = m_frame.m_pKernel->AccessGestures();
    for (int i = 0; i < gestures.Count(); ++i) {
        IxAccessGesture& g = gestures[i];
        const IxAccessRect& next = g.pTable[g.nProgress];
        if (next.left == kIxAccessEnd) { // an empty table never matches
            g.nProgress = 0;
            continue;
        }
        RECT rc{next.left, next.top, next.right, next.bottom};
        if (!PtInRectInclusive(rc, screenPoint)) {
            g.nProgress = 0;
            continue;
        }
        advanced = TRUE;
        if (g.pTable[++g.nProgress].left == kIxAccessEnd) {
            g.nProgress = 0;
            m_frame.PostAction(g.nViewId, AEV_DEFAULT, 0);
        }
    }
    return advanced;
}

BOOL IxKeyRouter::MatchKeySequence(UINT key)
{
    BOOL advanced = FALSE;
    IxArray<IxKeySequence>& sequences = m_frame.m_pKernel->KeySequences();
    for (int i = 0; i < sequences.Count(); ++i) {
        IxKeySequence& s = sequences[i];
        UINT next = s.pTable[s.nProgress];
        if (next == 0 || next != key) {
            s.nProgress = 0;
            continue;
        }
        advanced = TRUE;
        if (s.pTable[++s.nProgress] == 0) {
            s.nProgress = 0;
            m_frame.PostAction(s.nViewId, AEV_DEFAULT, 0);
        }
    }
    return advanced;
}

// ---------------------------------------------------------------------------
// Hardware keys

void IxKeyRouter::NotifyExtKey(int command, int buttonKey, BOOL press, DWORD flags)
{
    if (!m_frame.m_pKernel)
        return;
    if (m_frame.GetGestureMode() != IXGM_NONE) {
        NKDbgPrintfW(u"[BUSY] NotifyExtKey() : return by Mouse, cmd=[%d], fpress=[%d], at [%ld]\r\n", command,
                     static_cast<int>(press), GetTickCount());
        return;
    }
    if (press && (flags & IXKEY_BUSYTEST) && m_frame.IsBusy(0)) {
        NKDbgPrintfW(u"[BUSY] NotifyExtKey() : return by Busy, cmd=[%d], fpress=[%d], at [%ld]\r\n", command,
                     static_cast<int>(press), GetTickCount());
        return;
    }
    if (flags & IXKEY_HELD) {
        if (press && m_nHeldKey == command)
            return; // the key repeats while held
        if (m_nHeldKey && m_nHeldKey != command)
            ReleaseHeldKey();
        if (!press && m_nHeldKey != command)
            return;
        if (press) {
            m_nHeldKey = command;
            m_nHeldButton = buttonKey;
            m_dwHeldFlags = flags;
            if (m_nHeldKeyTimeout > 0)
                m_frame.m_pKernel->SetTimer(&m_frame, IxTimerId(&m_nHeldKeyTimeout), m_nHeldKeyTimeout);
        } else {
            m_nHeldKey = 0;
            m_nHeldButton = 0;
            m_frame.m_pKernel->KillTimer(&m_frame, IxTimerId(&m_nHeldKeyTimeout));
        }
    } else {
        m_nHeldKey = 0;
        m_nHeldButton = 0;
        m_frame.m_pKernel->KillTimer(&m_frame, IxTimerId(&m_nHeldKeyTimeout));
    }
    m_frame.PostAction(command, press ? AEV_PRESS : AEV_RELEASE, 0);
    if (buttonKey)
        ShowButton(buttonKey, press);
}

void IxKeyRouter::ReleaseHeldKey()
{
    int command = m_nHeldKey;
    int button = m_nHeldButton;
    m_nHeldKey = 0;
    m_nHeldButton = 0;
    if (m_frame.m_pKernel)
        m_frame.m_pKernel->KillTimer(&m_frame, IxTimerId(&m_nHeldKeyTimeout));
    if (!command)
        return;
    m_frame.PostAction(command, AEV_RELEASE, 0);
    if (button)
        ShowButton(button, FALSE);
}

void IxKeyRouter::ShowButton(int buttonKey, BOOL press)
{
    int button = m_frame.m_pHook ? m_frame.m_pHook->KeyToButton(buttonKey, press) : buttonKey;
    if (!button)
        return;
    IxElement* element = m_frame.FindElement(IXFIND_ID, button, nullptr, nullptr, nullptr);
    if (!element || element == &m_frame)
        return;
    // The button shows only where it is what a touch at its centre would
    // reach: a button under another screen stays as it is.
    POINT centre{element->Width() / 2, element->Height() / 2};
    element->LocalToScreen(&centre);
    IxElement* target = m_frame.TargetAt(IXIN_DOWN, centre, FALSE);
    if (!target || !element->IsAncestorOf(target) || target->HasFlag(IXF_HIDDEN))
        return;
    target->SetPressed(press, TRUE);
}

// ---------------------------------------------------------------------------
// Keyboard

BOOL IxKeyRouter::OfferKey(IxElement* element, int code)
{
    if (!element)
        return FALSE;
    IxElementWatch watch(element);
    LRESULT answer = element->NotifyParent(code, nullptr);
    if (answer == 1 || !watch.Alive())
        return TRUE;
    IxElement* performer = answer ? reinterpret_cast<IxElement*>(answer) : element;
    return performer->OnKey(code) != 0;
}

BOOL IxKeyRouter::Navigate(int code)
{
    if (m_frame.m_pHook && OfferKey(m_frame.m_pHook, code))
        return TRUE;
    if (!m_frame.m_pKernel)
        return TRUE;
    IxElement* target = m_frame.m_pKernel->GetFocus();
    if (!target && m_frame.m_layers.Count() > 0)
        target = m_frame.m_layers[m_frame.m_layers.Count() - 1].pView;
    if (!target)
        target = m_frame.m_pActivePage ? m_frame.m_pActivePage : &m_frame;
    return OfferKey(target, code);
}

void IxKeyRouter::OnKeyDown(UINT key)
{
    if (!m_frame.m_pKernel)
        return;
    if (m_frame.m_pKernel->KeySequences().Count() > 0 && MatchKeySequence(key))
        return;
    if (m_frame.m_dwState & (IXFS_POPUP | IXFS_STOPPED))
        return;
    IxBusyScope busy(&m_frame);
    int code = NavigationCode(key);
    if (code && Navigate(code))
        return;
    if (!m_frame.m_pKernel)
        return;
    if (int command = m_frame.m_pKernel->MappedCommand(key))
        NotifyExtKey(command, 0, TRUE, IXKEY_BUSYTEST | IXKEY_HELD);
    else if (m_frame.m_pHook)
        m_frame.m_pHook->OnUnhandledKey(static_cast<int>(key));
}

void IxKeyRouter::OnKeyUp(UINT key)
{
    if (!m_frame.m_pKernel)
        return;
    IxBusyScope busy(&m_frame);
    if (int command = m_frame.m_pKernel->MappedCommand(key))
        NotifyExtKey(command, 0, FALSE, IXKEY_HELD);
}

void IxKeyRouter::OnKeyRelease(UINT key)
{
    if (!m_frame.m_pKernel)
        return;
    IxBusyScope busy(&m_frame);
    int code = ReleaseNavigationCode(key);
    if (code && Navigate(code))
        return;
    if (m_frame.m_pHook)
        m_frame.m_pHook->OnUnhandledKey(-static_cast<int>(key));
}

// ---------------------------------------------------------------------------
// Characters

void IxKeyRouter::RouteText(const IxTextInput* input)
{
    if (!m_frame.m_pKernel || (m_frame.m_dwState & (IXFS_POPUP | IXFS_STOPPED)))
        return;
    IxBusyScope busy(&m_frame);
    IxElement* focus = m_frame.m_pKernel->GetFocus();
    if (focus && m_frame.m_pKernel->IsKeyReceiver(focus)) {
        focus->TakeTextInput(input);
        return;
    }
    // Newest first; the first that takes the focus takes the text.
    for (int i = m_frame.m_pKernel->KeyReceivers().Count() - 1; m_frame.m_pKernel && i >= 0; --i) {
        if (i >= m_frame.m_pKernel->KeyReceivers().Count())
            continue;
        IxElement* receiver = m_frame.m_pKernel->KeyReceivers()[i];
        if (receiver->HasFlag(IXF_DISABLED | IXF_NOINPUT))
            continue;
        IxElementWatch watch(receiver);
        if (receiver->SetFocus()) {
            if (watch.Alive())
                receiver->TakeTextInput(input);
            return;
        }
    }
}

void IxKeyRouter::OnChar(WCHAR ch)
{
    WCHAR text[2] = {ch, 0};
    IxTextInput record{IxTextInput::Plain, text, 1, 0};
    RouteText(&record);
}

void IxKeyRouter::OnTextInput(const IxTextInput* input)
{
    if (!input || !m_frame.m_pKernel)
        return;
    if (input->kind == IxTextInput::Command) {
        IxBusyScope busy(&m_frame); // its end delivers the action
        PushGlobalAction(IXA_TEXTCOMMAND, AEV_DEFAULT, input->length);
        return;
    }
    RouteText(input);
}

BOOL IxKeyRouter::OnTimer(UINT_PTR id)
{
    if (id != IxTimerId(&m_nHeldKeyTimeout))
        return FALSE;
    if (m_frame.m_pKernel)
        m_frame.m_pKernel->KillTimer(&m_frame, id);
    if (m_nHeldKey)
        ReleaseHeldKey();
    return TRUE;
}
