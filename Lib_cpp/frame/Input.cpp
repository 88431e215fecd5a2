// Kernel input: the frame turns the main window's pointer and key messages
// into element input. Presses are accepted or dropped (busy limit, blocked
// pointer), hit-tested over the layers and dispatched; the element's answer
// chooses a gesture (press tracking, drag and drop, long press, swipe,
// scrolling with fling), which the gesture engine then follows until the
// release. Beside that: press observers; keys and characters go to the key
// router (KeyRouter.cpp). User-interface thread only; every entry runs
// inside one busy bracket.
#include "Lib_cpp/frame/KernelFrame.h"

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/ui/Window.h"

#include <cmath>
#include <cstdlib>

namespace {

// The frame's timer of a delayed release.
constexpr UINT_PTR kDelayedReleaseTimer = 1;

// A frame point in the element's coordinates.
POINT Local(const IxElement* element, POINT point)
{
    element->ScreenToLocal(&point);
    return point;
}

bool IsMove(int code)
{
    return code == IXIN_HOVER || code == IXIN_MOVE;
}

} // namespace

// ---------------------------------------------------------------------------
// Hit testing

IxElement* IxKernelFrame::FindTarget(int inputCode, POINT point)
{
    return TargetAt(inputCode, point, TRUE);
}

IxElement* IxKernelFrame::TargetAt(int inputCode, POINT point, BOOL closeOutside)
{
    m_hCaptureWnd = nullptr;
    for (int i = m_layers.Count() - 1; i >= 0; --i) {
        IxLayerEntry entry = m_layers[i];
        // The dragged view follows the pointer: it is never what lies under it.
        if (entry.nPriority == IXLAYER_DRAG)
            continue;
        RECT rc;
        entry.pView->GetRect(&rc);
        bool inside = PtInRectInclusive(rc, point);
        if (IxIsKeptLayer(entry.nPriority)) {
            if (!inside)
                continue;
        } else if (!inside) {
            // A touch outside a popup-like layer closes it; a negative
            // priority only swallows the touch.
            if (closeOutside && entry.nPriority >= 0) {
                DWORD m = IxLayerMagnitude(entry.nPriority);
                RemoveLayerAt(i);
                if (m_pHook && m < static_cast<DWORD>(IXLAYER_KEEP))
                    m_pHook->OnLayerChanged(0, static_cast<LPARAM>(m));
            }
            return nullptr;
        }
        if (entry.pView->HasFlag(IXF_HIDDEN | IXF_DISABLED))
            return nullptr;
        POINT local{point.x - rc.left, point.y - rc.top};
        IxElement* target = entry.pView->FindTarget(inputCode, local);
        if (target)
            m_hCaptureWnd = entry.pView->GetChildWindow();
        return target;
    }
    return IxWindowView::FindTarget(inputCode, point);
}

BOOL IxKernelFrame::InVisibleTopLayer(POINT point) const
{
    for (int i = 0; i < m_layers.Count(); ++i) {
        if (!IxIsKeptLayer(m_layers[i].nPriority) || m_layers[i].pView->HasFlag(IXF_HIDDEN))
            continue;
        RECT rc;
        m_layers[i].pView->GetRect(&rc);
        if (PtInRectInclusive(rc, point))
            return TRUE;
    }
    return FALSE;
}

IxElement* IxKernelFrame::DragView() const
{
    int i = m_layers.LastWithPriority(IXLAYER_DRAG);
    return i >= 0 ? m_layers[i].pView : nullptr;
}

// ---------------------------------------------------------------------------
// Pointer messages

BOOL IxKernelFrame::PointerToHook(int code, POINT point, BOOL heldKeyToo)
{
    bool stopped = (m_dwState & IXFS_STOPPED) != 0;
    bool toHook = stopped || (m_dwState & IXFS_POPUP) || (heldKeyToo && m_keys.GetHeldKey() != 0);
    if (!toHook)
        return FALSE;
    // Without a hook a stopped frame drops the input; a popup or a held key
    // leaves it to the screen.
    if (!m_pHook)
        return stopped ? TRUE : FALSE;
    IxBusyScope busy(this);
    POINT local = point;
    m_pHook->OnInput(code, reinterpret_cast<LPARAM>(&local));
    return TRUE;
}

void IxKernelFrame::DoLButtonDown(WPARAM, int x, int y)
{
    if (!m_pKernel)
        return;
    m_ptWindow = POINT{x, y};
    m_ptPointer = POINT{x - m_rc.left, y - m_rc.top};
    const POINT point = m_ptPointer;
    m_dwFlags &= ~IXF_INVALIDATEALL; // the frame's update-pending flag
    m_bMoved = FALSE;
    m_dwState &= ~IXFS_SUSPENDED;
    if (PointerToHook(IXIN_DOWN, point, TRUE))
        return;
    if (m_nGestureMode == IXGM_NONE && IsBusy(0)) {
        NKDbgPrintfW(u"[BUSY] DoLButtonDown() : return by Busy, [%d,%d], at [%ld]\r\n", x, y, GetTickCount());
        return;
    }
    if (!m_bPointerUnblocked) {
        NKDbgPrintfW(u"[BUSY] DoLButtonDown() : return by Block Mouse, [%d,%d], at [%ld]\r\n", x, y, GetTickCount());
        return;
    }
    m_bInPressHandler = TRUE;
    IxBusyScope busy(this);
    if (m_dwState & IXFS_DELAYEDRELEASE) {
        // The finger came back before the delayed release: the drag goes on.
        m_dwState &= ~IXFS_DELAYEDRELEASE;
        m_pKernel->KillTimer(this, kDelayedReleaseTimer);
        return;
    }
    IxPointerNotice notice{0, point};
    if (IxElement* view = m_pKernel->GetPointerNoticeView())
        view->OnEvent(IXEV_POINTERNOTICE, reinterpret_cast<LPARAM>(&notice));
    if (m_pHook)
        m_pHook->OnEvent(IXEV_POINTERNOTICE, reinterpret_cast<LPARAM>(&notice));
    if (!m_pKernel)
        return;
    m_dwPressTime = GetTickCount();
    m_ptPress = point;
    for (int i = 0; i < m_pKernel->PressObservers().Count(); ++i)
        m_pKernel->PressObservers()[i].pObserver->OnPress(point);
    // A press stops a running fling where the flung element agrees.
    if (m_scrolls.Count() > 0) {
        IxArray<IxElement*> flinging(8);
        for (int i = 0; i < m_scrolls.Count(); ++i) {
            if (m_pKernel->IsTimerSet(this, reinterpret_cast<UINT_PTR>(m_scrolls[i].pElement)))
                flinging.Add(m_scrolls[i].pElement);
        }
        bool consumed = false;
        for (int i = 0; i < flinging.Count(); ++i) {
            // Skip elements that an earlier answer removed.
            if (FindScroll(flinging[i]) < 0)
                continue;
            POINT local = Local(flinging[i], point);
            if (flinging[i]->OnInput(IXIN_GESTUREGOESON, reinterpret_cast<LPARAM>(&local)) == 0)
                consumed = true;
        }
        if (consumed)
            return;
    }
    if (m_pKernel->AccessGestures().Count() > 0 && !InVisibleTopLayer(point)) {
        POINT screen = m_ptWindow;
        if (HWND hwnd = GetWindowHandle())
            ClientToScreen(hwnd, &screen);
        if (m_keys.MatchAccessGesture(screen))
            return;
    }
    if (m_nGestureMode != IXGM_NONE) {
        GestureInput(IXIN_PRESSDURING, point);
    } else {
        m_dwPressTime = GetTickCount();
        DispatchPress(IXIN_DOWN, point);
    }
}

void IxKernelFrame::DispatchPress(int code, POINT point)
{
    IxElement* target = TargetAt(code, point, TRUE);
    if (!target || !m_pKernel)
        return;
    IxElementWatch watch(target);
    POINT local = Local(target, point);
    if (code == IXIN_REPEAT) {
        if (target->OnInput(IXIN_TAKESREPEAT, reinterpret_cast<LPARAM>(&local)) == 0) {
            DispatchPress(IXIN_DOWN, point);
            return;
        }
        if (!watch.Alive())
            return;
    }
    if (FindScroll(target) >= 0 && IsFlingRunning(target)) {
        // The press only stops the list; its moves and release are ignored.
        m_pKernel->KillTimer(this, reinterpret_cast<UINT_PTR>(target));
        m_dwState |= IXFS_SUSPENDED;
        target->OnEvent(IXEV_GESTUREENDED, 0);
        if (watch.Alive()) {
            POINT none{0, 0};
            target->OnInput(IXIN_FLINGENDED, reinterpret_cast<LPARAM>(&none));
        }
        return;
    }
    int mode = target->OnInput(code, reinterpret_cast<LPARAM>(&local));
    if (!watch.Alive() || !m_pKernel)
        return;
    if (mode == IXGM_LONGPRESS && m_gc.nLongPressDelay <= 0)
        mode = IXGM_CANDIDATE;
    if (mode == IXGM_SWIPE && m_gc.nSampleWindow <= 0)
        mode = IXGM_CANDIDATE;
    if (mode < IXGM_TRACK || mode > IXGM_SCROLL)
        return;
    m_pGestureElement = target;
    m_nGestureMode = mode;
    m_ptDispatch = point;
    m_nMoveThreshold = m_gc.nStartThreshold;
    HWND capture = m_hCaptureWnd ? m_hCaptureWnd : GetWindowHandle();
    if (capture)
        SetCapture(capture);
    m_dwState |= IXFS_CAPTURE;
    m_pKernel->SetCaptureTarget(target);
    if (mode == IXGM_DRAG) {
        m_dwState |= IXFS_DRAGLAYER;
        m_pDropTarget = target->OnInput(IXIN_HOVERQUERY, reinterpret_cast<LPARAM>(&local)) ? target : nullptr;
    }
    if (mode >= IXGM_LONGPRESS && mode <= IXGM_SCROLL)
        StartSampling(point);
    if (mode == IXGM_LONGPRESS)
        m_pKernel->SetTimer(this, IxTimerId(&m_gc.nLongPressDelay), m_gc.nLongPressDelay);
}

void IxKernelFrame::DoMouseMove(WPARAM keys, int x, int y, BOOL* startedDrag)
{
    if (startedDrag)
        *startedDrag = FALSE;
    if (!m_pKernel || (m_dwState & IXFS_SUSPENDED))
        return;
    const POINT point{x - m_rc.left, y - m_rc.top};
    if (point.x == m_ptPointer.x && point.y == m_ptPointer.y)
        return;
    const bool down = (keys & MK_LBUTTON) != 0;
    if (PointerToHook(down ? IXIN_MOVE : IXIN_HOVER, point, FALSE)) {
        m_ptPointer = point;
        m_ptWindow = POINT{x, y};
        return;
    }
    {
        IxBusyScope busy(this);
        if (down) {
            for (int i = 0; m_pKernel && i < m_pKernel->PressObservers().Count(); ++i)
                m_pKernel->PressObservers()[i].pObserver->OnMove(point);
        }
        if (m_nGestureMode == IXGM_NONE) {
            m_bMoved = TRUE;
        } else {
            int dx = std::abs(point.x - m_ptDispatch.x);
            int dy = std::abs(point.y - m_ptDispatch.y);
            if ((m_dwState & IXFS_DRAGLAYER) || m_nMoveThreshold < 1 || dx > m_nMoveThreshold
                || dy > m_nMoveThreshold) {
                m_bMoved = TRUE;
                m_nMoveThreshold = 0;
                if (!(m_dwState & IXFS_DELAYEDRELEASE))
                    GestureInput(down ? IXIN_MOVE : IXIN_HOVER, point);
            }
        }
        if (startedDrag)
            *startedDrag = m_nGestureMode == IXGM_TRACK || m_nGestureMode == IXGM_DRAG;
        m_ptPointer = point;
        m_ptWindow = POINT{x, y};
    }
}

void IxKernelFrame::DoLButtonUp(WPARAM, int x, int y)
{
    if (!m_pKernel)
        return;
    const POINT point{x - m_rc.left, y - m_rc.top};
    HWND hwnd = GetWindowHandle();
    if (!m_bPointerUnblocked && hwnd)
        UpdateWindow(hwnd);
    if (m_dwState & IXFS_SUSPENDED) {
        m_ptPointer = point;
        m_ptWindow = POINT{x, y};
        return;
    }
    if (PointerToHook(IXIN_UP, point, FALSE)) {
        m_ptPointer = point;
        m_ptWindow = POINT{x, y};
        return;
    }
    IxBusyScope busy(this);
    IxPointerNotice notice{IXIN_UP, point};
    if (IxElement* view = m_pKernel->GetPointerNoticeView())
        view->OnEvent(IXEV_POINTERNOTICE, reinterpret_cast<LPARAM>(&notice));
    if (m_pHook)
        m_pHook->OnEvent(IXEV_POINTERNOTICE, reinterpret_cast<LPARAM>(&notice));
    if (!m_pKernel)
        return;
    if (m_bMoved && m_pKernel->PressObservers().Count() > 0) {
        int dirX = 0;
        int dirY = 0;
        SwipeClass(point, TRUE, &dirX, &dirY);
        if (dirX || dirY) {
            const IxArray<IxPressObserverEntry>& observers = m_pKernel->PressObservers();
            for (int i = 0; i < observers.Count(); ++i) {
                if (observers[i].pObserver->AcceptStroke(dirX, dirY)) {
                    PushGlobalAction(observers[i].nActionId, AEV_DEFAULT, observers[i].lValue);
                    break;
                }
            }
        }
    }
    if ((m_dwState & IXFS_DRAGLAYER) || (m_nGestureMode != IXGM_NONE && !(m_dwState & IXFS_DELAYEDRELEASE))) {
        if (!m_sampler.HasOrigin() && m_gc.nDelayedRelease > 0 && m_nGestureMode == IXGM_TRACK && m_bMoved) {
            m_pKernel->SetTimer(this, kDelayedReleaseTimer, m_gc.nDelayedRelease);
            m_dwState |= IXFS_DELAYEDRELEASE;
        } else {
            if (point.x != m_ptPointer.x || point.y != m_ptPointer.y) {
                int dx = std::abs(point.x - m_ptDispatch.x);
                int dy = std::abs(point.y - m_ptDispatch.y);
                if (m_nMoveThreshold < 1 || dx > m_nMoveThreshold || dy > m_nMoveThreshold) {
                    m_bMoved = TRUE;
                    m_nMoveThreshold = 0;
                    GestureInput(IXIN_MOVE, point);
                    m_ptPointer = point;
                }
            }
            if (m_nGestureMode != IXGM_NONE)
                GestureInput(IXIN_UP, point);
        }
    }
    m_ptPointer = point;
    m_ptWindow = POINT{x, y};
}

void IxKernelFrame::DoLButtonDblClk(WPARAM, int x, int y)
{
    if (!m_pKernel)
        return;
    const POINT point{x - m_rc.left, y - m_rc.top};
    m_bMoved = FALSE;
    IxBusyScope busy(this);
    if (m_dwState & IXFS_DELAYEDRELEASE) {
        m_dwState &= ~IXFS_DELAYEDRELEASE;
        m_pKernel->KillTimer(this, kDelayedReleaseTimer);
        GestureInput(IXIN_UP, m_ptPointer);
    }
    m_ptPointer = point;
    m_ptWindow = POINT{x, y};
    if (m_nGestureMode == IXGM_NONE) {
        if (!(m_dwFlags & IXF_INVALIDATEALL))
            DispatchPress(IXIN_REPEAT, point);
    } else {
        GestureInput(IXIN_DOUBLEPRESS, point);
    }
}

void IxKernelFrame::OnCaptureLost()
{
    if (m_bReleasingCapture || !m_pKernel)
        return;
    IxBusyScope busy(this);
    if (m_pHook) {
        IxPointerNotice notice{IXIN_UP, POINT{static_cast<int>(0xc0000001), static_cast<int>(0xc0000001)}};
        m_pHook->OnEvent(IXEV_POINTERNOTICE, reinterpret_cast<LPARAM>(&notice));
    }
    if (!(m_dwState & IXFS_CAPTURE))
        return;
    m_dwState &= ~IXFS_CAPTURE; // already gone: nothing to give back
    IxElement* element = m_pGestureElement;
    if (element) {
        IxElementWatch watch(element);
        POINT local = Local(element, m_ptPointer);
        switch (m_nGestureMode) {
        case IXGM_CANDIDATE:
        case IXGM_LONGPRESS:
        case IXGM_SWIPE:
            element->OnEvent(IXEV_DRAGSTATE, 0);
            if (watch.Alive())
                element->OnInput(IXIN_CANDIDATEUP, reinterpret_cast<LPARAM>(&local));
            break;
        case IXGM_TRACK:
            element->OnInput(IXIN_UP, reinterpret_cast<LPARAM>(&local));
            break;
        case IXGM_DRAG:
            GestureInput(IXIN_UP, m_ptPointer);
            break;
        default:
            break;
        }
    }
    EndPointerGesture();
}

// ---------------------------------------------------------------------------
// Gesture engine

void IxKernelFrame::EndPointerGesture()
{
    if (m_nGestureMode == IXGM_DRAG || (m_dwState & IXFS_DRAGLAYER)) {
        RemoveLayerAt(m_layers.LastWithPriority(IXLAYER_DRAG));
    }
    m_dwState &= ~(IXFS_DRAGLAYER | IXFS_DELAYEDRELEASE);
    if (m_pKernel) {
        m_pKernel->KillTimer(this, kDelayedReleaseTimer);
        m_pKernel->KillTimer(this, IxTimerId(&m_gc.nLongPressDelay));
        m_pKernel->SetCaptureTarget(this);
    }
    if (m_dwState & IXFS_CAPTURE) {
        m_dwState &= ~IXFS_CAPTURE;
        HWND held = GetCapture();
        if (held && (held == GetWindowHandle() || held == m_hCaptureWnd)) {
            m_bReleasingCapture = TRUE;
            ReleaseCapture();
            m_bReleasingCapture = FALSE;
        }
    }
    m_nGestureMode = IXGM_NONE;
    m_pGestureElement = nullptr;
    m_pDropTarget = nullptr;
    m_pHover = nullptr;
    m_sampler.Forget();
}

void IxKernelFrame::Tap(IxElement* element, POINT point)
{
    POINT local = Local(element, point);
    DWORD held = GetTickCount() - m_dwPressTime;
    element->OnInput(held <= m_gc.dwTapLimit ? IXIN_TAP : IXIN_UP, reinterpret_cast<LPARAM>(&local));
}

void IxKernelFrame::GestureInput(int code, POINT point)
{
    IxElement* element = m_pGestureElement;
    if (!element || !m_pKernel)
        return;
    IxElementWatch watch(element);
    const bool move = IsMove(code);
    auto gone = [&] { return !watch.Alive() || m_pGestureElement != element; };

    // The candidates decide what they become, then the input goes on in the
    // new mode.
    if (m_nGestureMode == IXGM_LONGPRESS) {
        m_pKernel->KillTimer(this, IxTimerId(&m_gc.nLongPressDelay));
        if (move) {
            m_nGestureMode = IXGM_SCROLL;
        } else {
            RemoveScroll(element);
            m_nGestureMode = IXGM_CANDIDATE;
        }
    } else if (m_nGestureMode == IXGM_SWIPE) {
        int dirX = 0;
        int dirY = 0;
        if (move)
            SwipeClass(point, FALSE, &dirX, &dirY);
        m_nGestureMode = (dirX || dirY) ? IXGM_SCROLL : IXGM_CANDIDATE;
    }

    POINT local = Local(element, point);
    switch (m_nGestureMode) {
    case IXGM_CANDIDATE:
        if (move) {
            int answer = element->OnInput(IXIN_DRAGSTART, reinterpret_cast<LPARAM>(&local));
            if (gone())
                return;
            if (answer == IXGM_DRAG) {
                // The dragged view jumps to where the pointer went since the
                // press; DragMove adds the last step.
                if (IxElement* view = DragView()) {
                    RECT rc;
                    view->GetRect(&rc);
                    view->MoveTo(rc.left + m_ptPointer.x - m_ptDispatch.x, rc.top + m_ptPointer.y - m_ptDispatch.y,
                                 TRUE);
                }
                element->OnEvent(IXEV_DRAGSTATE, 1);
                if (gone())
                    return;
                m_nGestureMode = IXGM_DRAG;
                m_dwState |= IXFS_DRAGLAYER;
                m_pDropTarget = element->OnInput(IXIN_HOVERQUERY, reinterpret_cast<LPARAM>(&local)) ? element : nullptr;
                if (gone())
                    return;
                DragMove(point);
            } else {
                element->OnEvent(IXEV_DRAGSTATE, 0);
                if (!gone())
                    m_nGestureMode = IXGM_TRACK;
            }
            return;
        }
        if (code == IXIN_UP) {
            element->OnEvent(IXEV_DRAGSTATE, 0);
            if (watch.Alive())
                element->OnInput(IXIN_CANDIDATEUP, reinterpret_cast<LPARAM>(&local));
            if (watch.Alive() && !m_bMoved)
                Tap(element, point);
            EndPointerGesture();
            return;
        }
        break;
    case IXGM_TRACK:
        if (code == IXIN_UP) {
            if (!m_bMoved)
                Tap(element, point);
            else
                element->OnInput(IXIN_UP, reinterpret_cast<LPARAM>(&local));
            EndPointerGesture();
            return;
        }
        break;
    case IXGM_DRAG:
        if (move) {
            DragMove(point);
            return;
        }
        if (code == IXIN_UP) {
            DragRelease(point);
            EndPointerGesture();
            return;
        }
        break;
    case IXGM_SCROLL:
        if (move) {
            ScrollMove(point);
            return;
        }
        if (code == IXIN_UP) {
            Fling(element, TRUE);
            EndPointerGesture();
            return;
        }
        break;
    default:
        break;
    }
    if (element->OnInput(code, reinterpret_cast<LPARAM>(&local)) == 0 && !gone())
        EndPointerGesture();
}

void IxKernelFrame::DragMove(POINT point)
{
    IxElement* view = DragView();
    if (view) {
        RECT rc;
        view->GetRect(&rc);
        view->MoveTo(rc.left + point.x - m_ptPointer.x, rc.top + point.y - m_ptPointer.y, TRUE);
    }
    IxElement* hover = TargetAt(IXIN_DRAGOVER, point, FALSE);
    if (hover != m_pHover) {
        // The leave handler may delete the element now under the pointer.
        IxElementWatch watch(hover);
        if (m_pDropTarget) {
            POINT local = Local(m_pDropTarget, point);
            if (m_pDropTarget->OnInput(IXIN_DRAGLEAVE, reinterpret_cast<LPARAM>(&local)))
                m_pDropTarget = nullptr;
        }
        if (!watch.Alive())
            hover = nullptr;
        m_pHover = hover;
        if (hover) {
            POINT local = Local(hover, point);
            if (hover->OnInput(IXIN_HOVERQUERY, reinterpret_cast<LPARAM>(&local)) && watch.Alive()
                && hover->OnInput(IXIN_DROPQUERY, reinterpret_cast<LPARAM>(&local)) && watch.Alive())
                m_pDropTarget = hover;
        }
    }
    if (m_pDropTarget) {
        POINT local = Local(m_pDropTarget, point);
        m_pDropTarget->OnInput(IXIN_DRAGOVER, reinterpret_cast<LPARAM>(&local));
    }
    if ((view = DragView()) != nullptr) {
        view->Show(TRUE, TRUE);
        view->Enable(m_pDropTarget != nullptr, TRUE);
    }
}

void IxKernelFrame::DragRelease(POINT point)
{
    IxElement* source = m_pGestureElement;
    if (!source)
        return;
    IxElementWatch watch(source);
    IxElement* view = DragView();
    IxElement* target = m_pDropTarget;
    POINT local = Local(source, point);
    if (!view || !target || view->HasFlag(IXF_DISABLED) || !m_bMoved) {
        source->OnInput(IXIN_DROPCANCELLED, reinterpret_cast<LPARAM>(&local));
        if (watch.Alive() && !m_bMoved)
            Tap(source, point);
        return;
    }
    POINT targetLocal = Local(target, point);
    int answer = target->OnInput(IXIN_DROP, reinterpret_cast<LPARAM>(&targetLocal));
    if (watch.Alive())
        source->OnInput(answer == 0 ? IXIN_DROPCANCELLED : (answer == 1 ? IXIN_DROPACCEPTED : IXIN_DROPREFUSED),
                        reinterpret_cast<LPARAM>(&local));
}

// ---------------------------------------------------------------------------
// Velocity, swipes, scrolling and flings

void IxKernelFrame::StartSampling(POINT point)
{
    m_sampler.Start(point);
    // Stepped scrolling counts its steps from the press point.
    int i = FindScroll(m_pGestureElement);
    if (i >= 0) {
        m_scrolls[i].firstStep[0] = point.x;
        m_scrolls[i].firstStep[1] = point.y;
    }
}

void IxKernelFrame::SwipeClass(POINT point, BOOL useThreshold, int* dirX, int* dirY) const
{
    const DWORD t = GetTickCount() - m_dwPressTime;
    const int thresholds[2] = {m_gc.nSampleThresholdX, m_gc.nSampleThresholdY};
    const int moves[2] = {point.x - m_ptPress.x, point.y - m_ptPress.y};
    int out[2] = {0, 0};
    for (int axis = 0; axis < 2; ++axis) {
        int d = moves[axis];
        if (useThreshold && std::abs(d) < thresholds[axis])
            d = 0;
        double a = t ? 100.0 * d / static_cast<double>(t) : 0.0;
        double thr = m_gc.nSampleWindow > 0 ? static_cast<double>(thresholds[axis]) / m_gc.nSampleWindow : 0.0;
        if (std::fabs(a) < thr)
            out[axis] = 0;
        else
            out[axis] = static_cast<int>(std::floor(thr > 0 ? a / thr + 0.5 : a + 0.5));
    }
    if (dirX)
        *dirX = out[0];
    if (dirY)
        *dirY = out[1];
}

void IxKernelFrame::ScrollMove(POINT point)
{
    IxElement* element = m_pGestureElement;
    if (!element)
        return;
    m_sampler.Sample(point, m_gc);
    IxElement* under = TargetAt(IXIN_SCROLLBY, point, FALSE);
    if (!under || !element->IsAncestorOf(under))
        return;
    int i = FindScroll(element);
    if (i < 0)
        return;
    IxScrollRecord& r = m_scrolls[i];
    const int coords[2] = {point.x, point.y};
    const int moved[2] = {point.x - m_ptPointer.x, point.y - m_ptPointer.y};
    int next[2];
    for (int axis = 0; axis < 2; ++axis) {
        if (r.nMode == 0) {
            next[axis] = r.offset[axis] + moved[axis];
        } else {
            // Stepped: whole steps of the pointer's way from the anchor.
            int step = std::abs(r.nMode);
            int steps = (coords[axis] - r.firstStep[axis]) / step;
            next[axis] = r.offset[axis] + steps * step;
            r.firstStep[axis] += steps * step;
        }
        int low = r.content[axis] > r.viewport[axis] ? r.viewport[axis] - r.content[axis] : 0;
        int high = r.maxOffset[axis] > low ? r.maxOffset[axis] : low;
        next[axis] = next[axis] < low ? low : (next[axis] > high ? high : next[axis]);
    }
    POINT delta{next[0] - r.offset[0], next[1] - r.offset[1]};
    if (delta.x == 0 && delta.y == 0)
        return;
    IxElementWatch watch(element);
    int answer = element->OnInput(IXIN_SCROLLBY, reinterpret_cast<LPARAM>(&delta));
    if (!watch.Alive())
        return;
    if (answer == 0) {
        element->OnEvent(IXEV_GESTUREENDED, 0);
        EndPointerGesture();
        return;
    }
    if (answer != 1 && (i = FindScroll(element)) >= 0) {
        m_scrolls[i].offset[0] = next[0];
        m_scrolls[i].offset[1] = next[1];
    }
}

void IxKernelFrame::Fling(IxElement* element, BOOL fromSamples)
{
    int i = FindScroll(element);
    if (i < 0 || !m_pKernel)
        return;
    IxElementWatch watch(element);
    int direction[2] = {0, 0};
    if (fromSamples) {
        const int window = m_gc.nSampleWindow;
        const int thresholds[2] = {m_gc.nSampleThresholdX, m_gc.nSampleThresholdY};
        int velocity[2] = {0, 0};
        for (int axis = 0; axis < 2; ++axis) {
            direction[axis] = m_sampler.LastDirection(axis);
            if (m_sampler.Count(axis) <= 3 || window <= 0)
                continue;
            double mean = m_sampler.Mean(axis);
            if (std::fabs(mean) >= static_cast<double>(thresholds[axis]) / window)
                velocity[axis] = static_cast<int>(std::floor(mean * window + 0.5));
        }
        if (m_scrolls[i].nMode == 0) {
            m_scrolls[i].velocity[0] = velocity[0];
            m_scrolls[i].velocity[1] = velocity[1];
        }
    } else {
        direction[0] = IxVelocitySampler::Sign(m_scrolls[i].velocity[0]);
        direction[1] = IxVelocitySampler::Sign(m_scrolls[i].velocity[1]);
    }
    POINT velocity{m_scrolls[i].velocity[0], m_scrolls[i].velocity[1]};
    element->OnInput(IXIN_FLINGVELOCITY, reinterpret_cast<LPARAM>(&velocity));
    if (!watch.Alive() || (i = FindScroll(element)) < 0)
        return;
    IxScrollRecord& r = m_scrolls[i];
    r.velocity[0] = velocity.x;
    r.velocity[1] = velocity.y;
    bool any = false;
    for (int axis = 0; axis < 2; ++axis) {
        int v = r.velocity[axis];
        int speed = r.baseSpeed[axis];
        if (std::abs(v) > 50)
            speed = (speed * std::abs(v) + 25) / 50;
        int distance = 0;
        if (v > 0)
            distance = -r.offset[axis];
        else if (v < 0)
            distance = r.content[axis] - r.viewport[axis] + r.offset[axis];
        if (r.limit[axis] >= 1 && distance > r.limit[axis])
            distance = r.limit[axis];
        if (distance < 0)
            distance = 0;
        r.speed[axis] = speed;
        r.travelled[axis] = 0;
        r.decaySteps[axis] = 1;
        if (speed <= 0 || distance == 0) {
            r.total[axis] = 0;
            r.decayStart[axis] = 0;
            r.firstStep[axis] = 0;
            continue;
        }
        // The slowing phase: up to 15 decaying steps, cut short once the
        // step has stayed at 1 twice.
        int sum = 0;
        int step = speed;
        int ones = 0;
        for (int k = 0; k < 15; ++k) {
            step = step * m_gc.nDecayNumerator / (m_gc.nDecayDivisor > 0 ? m_gc.nDecayDivisor : 1);
            if (step < 1)
                step = 1;
            sum += step;
            if (step == 1 && ++ones == 2)
                break;
        }
        int decayStart = distance - sum;
        if (decayStart < 0)
            decayStart = 0;
        r.total[axis] = distance;
        r.decayStart[axis] = decayStart;
        // The constant-speed phase ends exactly at the decay start.
        r.firstStep[axis] = decayStart >= 1 ? decayStart % speed : 0;
        any = true;
    }
    if (any) {
        m_pKernel->SetTimer(this, reinterpret_cast<UINT_PTR>(element), m_gc.nFlingPeriod);
        return;
    }
    r.velocity[0] = r.velocity[1] = 0;
    element->OnEvent(IXEV_GESTUREENDED, 0);
    if (watch.Alive()) {
        POINT dir{direction[0], direction[1]};
        element->OnInput(IXIN_SCROLLENDED, reinterpret_cast<LPARAM>(&dir));
    }
}

void IxKernelFrame::FlingStep(IxElement* element)
{
    int i = FindScroll(element);
    if (i < 0 || !m_pKernel) {
        if (m_pKernel)
            m_pKernel->KillTimer(this, reinterpret_cast<UINT_PTR>(element));
        return;
    }
    IxScrollRecord& r = m_scrolls[i];
    POINT delta{0, 0};
    int* out[2] = {&delta.x, &delta.y};
    bool left = false;
    for (int axis = 0; axis < 2; ++axis) {
        int remaining = r.total[axis] - r.travelled[axis];
        if (remaining <= 0)
            continue;
        if (r.travelled[axis] >= r.decayStart[axis]) {
            int slowed = r.speed[axis] * m_gc.nDecayNumerator / (m_gc.nDecayDivisor > 0 ? m_gc.nDecayDivisor : 1);
            r.speed[axis] = slowed < 1 ? 1 : slowed;
        }
        // A first step of 0 (the decay start is a whole number of steps
        // away) is skipped rather than spent as an empty tick.
        int step = (r.decaySteps[axis] == 1 && r.firstStep[axis] > 0) ? r.firstStep[axis] : r.speed[axis];
        ++r.decaySteps[axis];
        if (step > remaining)
            step = remaining;
        int signedStep = r.velocity[axis] < 0 ? -step : step;
        r.offset[axis] += signedStep;
        r.travelled[axis] += step;
        *out[axis] = signedStep;
        if (r.total[axis] > r.travelled[axis])
            left = true;
    }
    IxElementWatch watch(element);
    int answer = element->OnInput(IXIN_FLINGSTEP, reinterpret_cast<LPARAM>(&delta));
    if (!watch.Alive() || !m_pKernel)
        return;
    if (answer != 0 && left && FindScroll(element) >= 0)
        return;
    if ((i = FindScroll(element)) >= 0)
        m_scrolls[i].velocity[0] = m_scrolls[i].velocity[1] = 0;
    element->OnEvent(IXEV_GESTUREENDED, 0);
    if (m_pKernel)
        m_pKernel->KillTimer(this, reinterpret_cast<UINT_PTR>(element));
    if (watch.Alive()) {
        POINT none{0, 0};
        element->OnInput(IXIN_FLINGENDED, reinterpret_cast<LPARAM>(&none));
    }
}

int IxKernelFrame::FindScroll(const IxElement* element) const
{
    if (!element)
        return -1;
    for (int i = 0; i < m_scrolls.Count(); ++i) {
        if (m_scrolls[i].pElement == element)
            return i;
    }
    return -1;
}

const IxScrollRecord* IxKernelFrame::ScrollRecordOf(const IxElement* element) const
{
    int i = FindScroll(element);
    return i >= 0 ? &m_scrolls[i] : nullptr;
}

void IxKernelFrame::RemoveScroll(IxElement* element)
{
    int i = FindScroll(element);
    if (i < 0)
        return;
    if (m_pKernel)
        m_pKernel->KillTimer(this, reinterpret_cast<UINT_PTR>(element));
    m_scrolls.RemoveAt(i);
}

BOOL IxKernelFrame::IsFlingRunning(IxElement* element)
{
    return m_pKernel && FindScroll(element) >= 0 && m_pKernel->IsTimerSet(this, reinterpret_cast<UINT_PTR>(element));
}

LRESULT IxKernelFrame::ScrollService(int code, void* record, LPARAM value)
{
    switch (code) {
    case IXSVC_BEGINGESTURE: {
        auto* g = static_cast<IxGestureRecord*>(record);
        if (!g || !g->pElement)
            return 1;
        int i = FindScroll(g->pElement);
        if (i < 0) {
            IxScrollRecord fresh{};
            fresh.pElement = g->pElement;
            if (!m_scrolls.Add(fresh))
                return 1;
            i = m_scrolls.Count() - 1;
        }
        IxScrollRecord& r = m_scrolls[i];
        r.nMode = static_cast<int>(value);
        r.viewport[0] = g->nViewWidth;
        r.viewport[1] = g->nViewHeight;
        r.offset[0] = g->nOffsetX;
        r.offset[1] = g->nOffsetY;
        r.content[0] = g->nContentWidth;
        r.content[1] = g->nContentHeight;
        r.maxOffset[0] = g->values[IXGV_MAXOFFSETX];
        r.maxOffset[1] = g->values[IXGV_MAXOFFSETY];
        r.limit[0] = g->values[IXGV_LIMITX];
        r.limit[1] = g->values[IXGV_LIMITY];
        r.baseSpeed[0] = g->values[IXGV_SPEEDX] > 0 ? g->values[IXGV_SPEEDX] : m_gc.nFlingSpeedX;
        r.baseSpeed[1] = g->values[IXGV_SPEEDY] > 0 ? g->values[IXGV_SPEEDY] : m_gc.nFlingSpeedY;
        if (!IsFlingRunning(g->pElement)) {
            r.speed[0] = r.baseSpeed[0];
            r.speed[1] = r.baseSpeed[1];
        }
        if (g->values[IXGV_VELOCITYX] || g->values[IXGV_VELOCITYY]) {
            r.velocity[0] = g->values[IXGV_VELOCITYX];
            r.velocity[1] = g->values[IXGV_VELOCITYY];
            Fling(g->pElement, FALSE);
        }
        return 1;
    }
    case IXSVC_SCROLLLIMITS: {
        auto* g = static_cast<IxGestureRecord*>(record);
        int i = g ? FindScroll(g->pElement) : -1;
        if (i >= 0) {
            m_scrolls[i].limit[0] = g->values[IXGV_LIMITX];
            m_scrolls[i].limit[1] = g->values[IXGV_LIMITY];
        }
        return 1;
    }
    case IXSVC_ENDGESTURE: {
        auto* element = static_cast<IxElement*>(record);
        RemoveScroll(element);
        if (element && element == m_pGestureElement && m_nGestureMode >= IXGM_LONGPRESS)
            EndPointerGesture();
        return 1;
    }
    case IXSVC_SCROLLRUNNING: {
        auto* element = static_cast<IxElement*>(record);
        if (FindScroll(element) < 0)
            return 0;
        return IsFlingRunning(element) || (element == m_pGestureElement && m_nGestureMode == IXGM_SCROLL);
    }
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------
// Timers of the pointer engine and the held key

BOOL IxKernelFrame::OnInputTimer(UINT_PTR id)
{
    if (!m_pKernel)
        return FALSE;
    if (id == kDelayedReleaseTimer) {
        m_pKernel->KillTimer(this, kDelayedReleaseTimer);
        if (m_dwState & IXFS_DELAYEDRELEASE) {
            m_dwState &= ~IXFS_DELAYEDRELEASE;
            GestureInput(IXIN_UP, m_ptPointer);
        }
        return TRUE;
    }
    if (id == IxTimerId(&m_gc.nLongPressDelay)) {
        m_pKernel->KillTimer(this, id);
        IxElement* element = m_pGestureElement;
        if (m_nGestureMode == IXGM_LONGPRESS && element) {
            IxElementWatch watch(element);
            element->OnEvent(IXEV_LONGPRESS, 0);
            if (watch.Alive()) {
                RemoveScroll(element);
                if (m_pGestureElement == element && m_nGestureMode == IXGM_LONGPRESS)
                    m_nGestureMode = IXGM_CANDIDATE;
            }
        }
        return TRUE;
    }
    if (m_keys.OnTimer(id))
        return TRUE;
    for (int i = 0; i < m_scrolls.Count(); ++i) {
        if (reinterpret_cast<UINT_PTR>(m_scrolls[i].pElement) == id) {
            FlingStep(m_scrolls[i].pElement);
            return TRUE;
        }
    }
    m_pKernel->KillTimer(this, id); // a fling whose record is gone
    return FALSE;
}

void IxKernelFrame::ForgetInputElement(IxElement* element)
{
    if (!element)
        return;
    if (m_pDropTarget == element)
        m_pDropTarget = nullptr;
    if (m_pHover == element)
        m_pHover = nullptr;
    int i = FindScroll(element);
    if (i >= 0) {
        if (m_pKernel)
            m_pKernel->KillTimer(this, reinterpret_cast<UINT_PTR>(element));
        m_scrolls.RemoveAt(i);
    }
    if (m_pGestureElement == element) {
        // The element is being deleted: its gesture ends without telling it;
        // the drag layer goes at the end of the bracket (its owner decides).
        m_pGestureElement = nullptr;
        m_nGestureMode = IXGM_NONE;
        m_dwState &= ~(IXFS_DRAGLAYER | IXFS_DELAYEDRELEASE);
        m_sampler.Forget();
        if (m_pKernel) {
            m_pKernel->KillTimer(this, kDelayedReleaseTimer);
            m_pKernel->KillTimer(this, IxTimerId(&m_gc.nLongPressDelay));
        }
        if (m_dwState & IXFS_CAPTURE) {
            m_dwState &= ~IXFS_CAPTURE;
            HWND held = GetCapture();
            if (held && (held == GetWindowHandle() || held == m_hCaptureWnd)) {
                m_bReleasingCapture = TRUE;
                ReleaseCapture();
                m_bReleasingCapture = FALSE;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Keys and characters: the key router

void IxKernelFrame::NotifyExtKey(int command, int buttonKey, BOOL press, DWORD flags)
{
    m_keys.NotifyExtKey(command, buttonKey, press, flags);
}

void IxKernelFrame::OnKeyDown(UINT key)
{
    m_keys.OnKeyDown(key);
}

void IxKernelFrame::OnKeyUp(UINT key)
{
    m_keys.OnKeyUp(key);
}

void IxKernelFrame::OnKeyRelease(UINT key)
{
    m_keys.OnKeyRelease(key);
}

void IxKernelFrame::OnChar(WCHAR ch)
{
    m_keys.OnChar(ch);
}

void IxKernelFrame::OnTextInput(const IxTextInput* input)
{
    m_keys.OnTextInput(input);
}
