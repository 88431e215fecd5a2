#include "Lib_cpp/frame/GestureEngine.h"

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
// Pointer messages

void IxGestureEngine::DoLButtonDown(WPARAM, int x, int y)
{
    if (!m_frame.m_pKernel)
        return;
    m_ptWindow = POINT{x, y};
    m_ptPointer = POINT{x - m_frame.GetRect().left, y - m_frame.GetRect().top};
    const POINT point = m_ptPointer;
    m_frame.SetFlags(0, IXF_INVALIDATEALL); // the frame's update-pending flag
    m_bMoved = FALSE;
    m_dwState &= ~IXFS_SUSPENDED;
    if (m_frame.PointerToHook(IXIN_DOWN, point, TRUE))
        return;
    if (m_nGestureMode == IXGM_NONE && m_frame.IsBusy(0)) {
        NKDbgPrintfW(u"[BUSY] DoLButtonDown() : return by Busy, [%d,%d], at [%ld]\r\n", x, y, GetTickCount());
        return;
    }
    if (!m_frame.m_bPointerUnblocked) {
        NKDbgPrintfW(u"[BUSY] DoLButtonDown() : return by Block Mouse, [%d,%d], at [%ld]\r\n", x, y, GetTickCount());
        return;
    }
    m_frame.m_bInPressHandler = TRUE;
    IxBusyScope busy(&m_frame);
    if (m_dwState & IXFS_DELAYEDRELEASE) {
        // The finger came back before the delayed release: the drag goes on.
        m_dwState &= ~IXFS_DELAYEDRELEASE;
        m_frame.m_pKernel->KillTimer(&m_frame, kDelayedReleaseTimer);
        return;
    }
    IxPointerNotice notice{0, point};
    if (IxElement* view = m_frame.m_pKernel->GetPointerNoticeView())
        view->OnEvent(IXEV_POINTERNOTICE, reinterpret_cast<LPARAM>(&notice));
    if (m_frame.m_pHook)
        m_frame.m_pHook->OnEvent(IXEV_POINTERNOTICE, reinterpret_cast<LPARAM>(&notice));
    if (!m_frame.m_pKernel)
        return;
    m_dwPressTime = GetTickCount();
    m_ptPress = point;
    for (int i = 0; i < m_frame.m_pKernel->PressObservers().Count(); ++i)
        m_frame.m_pKernel->PressObservers()[i].pObserver->OnPress(point);
    // A press stops a running fling where the flung element agrees.
    if (m_scrolls.PressDuringFling(point))
        return;
    if (m_frame.m_pKernel->AccessGestures().Count() > 0 && !m_frame.InVisibleTopLayer(point)) {
        POINT screen = m_ptWindow;
        if (HWND hwnd = m_frame.GetWindowHandle())
            ClientToScreen(hwnd, &screen);
        if (m_frame.m_keys.MatchAccessGesture(screen))
            return;
    }
    if (m_nGestureMode != IXGM_NONE) {
        GestureInput(IXIN_PRESSDURING, point);
    } else {
        m_dwPressTime = GetTickCount();
        DispatchPress(IXIN_DOWN, point);
    }
}

void IxGestureEngine::DispatchPress(int code, POINT point)
{
    IxElement* target = m_frame.TargetAt(code, point, TRUE);
    if (!target || !m_frame.m_pKernel)
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
    if (m_scrolls.IsFlingRunning(target)) {
        // The press only stops the list; its moves and release are ignored.
        m_scrolls.StopFling(target);
        m_dwState |= IXFS_SUSPENDED;
        target->OnEvent(IXEV_GESTUREENDED, 0);
        if (watch.Alive()) {
            POINT none{0, 0};
            target->OnInput(IXIN_FLINGENDED, reinterpret_cast<LPARAM>(&none));
        }
        return;
    }
    int mode = target->OnInput(code, reinterpret_cast<LPARAM>(&local));
    if (!watch.Alive() || !m_frame.m_pKernel)
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
    HWND capture = m_frame.m_hCaptureWnd ? m_frame.m_hCaptureWnd : m_frame.GetWindowHandle();
    if (capture)
        SetCapture(capture);
    m_dwState |= IXFS_CAPTURE;
    m_frame.m_pKernel->SetCaptureTarget(target);
    if (mode == IXGM_DRAG) {
        m_dwState |= IXFS_DRAGLAYER;
        m_pDropTarget = target->OnInput(IXIN_HOVERQUERY, reinterpret_cast<LPARAM>(&local)) ? target : nullptr;
    }
    if (mode >= IXGM_LONGPRESS && mode <= IXGM_SCROLL)
        StartSampling(point);
    if (mode == IXGM_LONGPRESS)
        m_frame.m_pKernel->SetTimer(&m_frame, IxTimerId(&m_gc.nLongPressDelay), m_gc.nLongPressDelay);
}

void IxGestureEngine::DoMouseMove(WPARAM keys, int x, int y, BOOL* startedDrag)
{
    if (startedDrag)
        *startedDrag = FALSE;
    if (!m_frame.m_pKernel || (m_dwState & IXFS_SUSPENDED))
        return;
    const POINT point{x - m_frame.GetRect().left, y - m_frame.GetRect().top};
    if (point.x == m_ptPointer.x && point.y == m_ptPointer.y)
        return;
    const bool down = (keys & MK_LBUTTON) != 0;
    if (m_frame.PointerToHook(down ? IXIN_MOVE : IXIN_HOVER, point, FALSE)) {
        m_ptPointer = point;
        m_ptWindow = POINT{x, y};
        return;
    }
    {
        IxBusyScope busy(&m_frame);
        if (down) {
            for (int i = 0; m_frame.m_pKernel && i < m_frame.m_pKernel->PressObservers().Count(); ++i)
                m_frame.m_pKernel->PressObservers()[i].pObserver->OnMove(point);
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

void IxGestureEngine::DoLButtonUp(WPARAM, int x, int y)
{
    if (!m_frame.m_pKernel)
        return;
    const POINT point{x - m_frame.GetRect().left, y - m_frame.GetRect().top};
    HWND hwnd = m_frame.GetWindowHandle();
    if (!m_frame.m_bPointerUnblocked && hwnd)
        UpdateWindow(hwnd);
    if (m_dwState & IXFS_SUSPENDED) {
        m_ptPointer = point;
        m_ptWindow = POINT{x, y};
        return;
    }
    if (m_frame.PointerToHook(IXIN_UP, point, FALSE)) {
        m_ptPointer = point;
        m_ptWindow = POINT{x, y};
        return;
    }
    IxBusyScope busy(&m_frame);
    IxPointerNotice notice{IXIN_UP, point};
    if (IxElement* view = m_frame.m_pKernel->GetPointerNoticeView())
        view->OnEvent(IXEV_POINTERNOTICE, reinterpret_cast<LPARAM>(&notice));
    if (m_frame.m_pHook)
        m_frame.m_pHook->OnEvent(IXEV_POINTERNOTICE, reinterpret_cast<LPARAM>(&notice));
    if (!m_frame.m_pKernel)
        return;
    if (m_bMoved && m_frame.m_pKernel->PressObservers().Count() > 0) {
        int dirX = 0;
        int dirY = 0;
        SwipeClass(point, TRUE, &dirX, &dirY);
        if (dirX || dirY) {
            const IxArray<IxPressObserverEntry>& observers = m_frame.m_pKernel->PressObservers();
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
            m_frame.m_pKernel->SetTimer(&m_frame, kDelayedReleaseTimer, m_gc.nDelayedRelease);
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

void IxGestureEngine::DoLButtonDblClk(WPARAM, int x, int y)
{
    if (!m_frame.m_pKernel)
        return;
    const POINT point{x - m_frame.GetRect().left, y - m_frame.GetRect().top};
    m_bMoved = FALSE;
    IxBusyScope busy(&m_frame);
    if (m_dwState & IXFS_DELAYEDRELEASE) {
        m_dwState &= ~IXFS_DELAYEDRELEASE;
        m_frame.m_pKernel->KillTimer(&m_frame, kDelayedReleaseTimer);
        GestureInput(IXIN_UP, m_ptPointer);
    }
    m_ptPointer = point;
    m_ptWindow = POINT{x, y};
    if (m_nGestureMode == IXGM_NONE) {
        if (!m_frame.HasFlag(IXF_INVALIDATEALL))
            DispatchPress(IXIN_REPEAT, point);
    } else {
        GestureInput(IXIN_DOUBLEPRESS, point);
    }
}

void IxGestureEngine::OnCaptureLost()
{
    if (m_bReleasingCapture || !m_frame.m_pKernel)
        return;
    IxBusyScope busy(&m_frame);
    if (m_frame.m_pHook) {
        IxPointerNotice notice{IXIN_UP, POINT{static_cast<int>(0xc0000001), static_cast<int>(0xc0000001)}};
        m_frame.m_pHook->OnEvent(IXEV_POINTERNOTICE, reinterpret_cast<LPARAM>(&notice));
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

void IxGestureEngine::ReleasePointerCapture()
{
    if (!(m_dwState & IXFS_CAPTURE))
        return;
    m_dwState &= ~IXFS_CAPTURE;
    HWND held = GetCapture();
    if (held && (held == m_frame.GetWindowHandle() || held == m_frame.m_hCaptureWnd)) {
        m_bReleasingCapture = TRUE;
        ReleaseCapture();
        m_bReleasingCapture = FALSE;
    }
}

void IxGestureEngine::EndPointerGesture()
{
    if (m_nGestureMode == IXGM_DRAG || (m_dwState & IXFS_DRAGLAYER)) {
        m_frame.RemoveLayerAt(m_frame.m_layers.LastWithPriority(IXLAYER_DRAG));
    }
    m_dwState &= ~(IXFS_DRAGLAYER | IXFS_DELAYEDRELEASE);
    if (m_frame.m_pKernel) {
        m_frame.m_pKernel->KillTimer(&m_frame, kDelayedReleaseTimer);
        m_frame.m_pKernel->KillTimer(&m_frame, IxTimerId(&m_gc.nLongPressDelay));
        m_frame.m_pKernel->SetCaptureTarget(&m_frame);
    }
    ReleasePointerCapture();
    m_nGestureMode = IXGM_NONE;
    m_pGestureElement = nullptr;
    m_pDropTarget = nullptr;
    m_pHover = nullptr;
    m_sampler.Forget();
}

void IxGestureEngine::ClearGesture()
{
    m_pGestureElement = nullptr;
    m_nGestureMode = IXGM_NONE;
}

BOOL IxGestureEngine::CancelDrag()
{
    if (m_nGestureMode != IXGM_DRAG || !m_pGestureElement)
        return FALSE;
    IxElement* dragged = m_pGestureElement;
    // The gesture ends as every other one does (drag bit, timers, capture),
    // except that the drag layer is left to the owner that removes it.
    m_nGestureMode = IXGM_NONE;
    m_dwState &= ~IXFS_DRAGLAYER;
    EndPointerGesture();
    dragged->OnInput(IXIN_DROPCANCELLED, 0);
    return TRUE;
}

BOOL IxGestureEngine::IsDragOnSource() const
{
    return m_nGestureMode == IXGM_DRAG && m_pGestureElement && m_pDropTarget == m_pGestureElement;
}

BOOL IxGestureEngine::IsDragSource(const IxElement* element) const
{
    return m_nGestureMode == IXGM_DRAG && m_pGestureElement && m_pGestureElement == element;
}

void IxGestureEngine::Tap(IxElement* element, POINT point)
{
    POINT local = Local(element, point);
    DWORD held = GetTickCount() - m_dwPressTime;
    element->OnInput(held <= m_gc.dwTapLimit ? IXIN_TAP : IXIN_UP, reinterpret_cast<LPARAM>(&local));
}

void IxGestureEngine::GestureInput(int code, POINT point)
{
    IxElement* element = m_pGestureElement;
    if (!element || !m_frame.m_pKernel)
        return;
    IxElementWatch watch(element);
    const bool move = IsMove(code);
    auto gone = [&] { return !watch.Alive() || m_pGestureElement != element; };

    // The candidates decide what they become, then the input goes on in the
    // new mode.
    if (m_nGestureMode == IXGM_LONGPRESS) {
        m_frame.m_pKernel->KillTimer(&m_frame, IxTimerId(&m_gc.nLongPressDelay));
        if (move) {
            m_nGestureMode = IXGM_SCROLL;
        } else {
            m_scrolls.Remove(element);
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
                if (IxElement* view = m_frame.DragView()) {
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
            m_scrolls.Fling(element, &m_sampler);
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

void IxGestureEngine::DragMove(POINT point)
{
    IxElement* view = m_frame.DragView();
    if (view) {
        RECT rc;
        view->GetRect(&rc);
        view->MoveTo(rc.left + point.x - m_ptPointer.x, rc.top + point.y - m_ptPointer.y, TRUE);
    }
    IxElement* hover = m_frame.TargetAt(IXIN_DRAGOVER, point, FALSE);
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
    if ((view = m_frame.DragView()) != nullptr) {
        view->Show(TRUE, TRUE);
        view->Enable(m_pDropTarget != nullptr, TRUE);
    }
}

void IxGestureEngine::DragRelease(POINT point)
{
    IxElement* source = m_pGestureElement;
    if (!source)
        return;
    IxElementWatch watch(source);
    IxElement* view = m_frame.DragView();
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

void IxGestureEngine::StartSampling(POINT point)
{
    m_sampler.Start(point);
    m_scrolls.AnchorSteps(m_pGestureElement, point);
}

void IxGestureEngine::SwipeClass(POINT point, BOOL useThreshold, int* dirX, int* dirY) const
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

void IxGestureEngine::ScrollMove(POINT point)
{
    IxElement* element = m_pGestureElement;
    if (!element)
        return;
    m_sampler.Sample(point, m_gc);
    IxElement* under = m_frame.TargetAt(IXIN_SCROLLBY, point, FALSE);
    if (!under || !element->IsAncestorOf(under))
        return;
    if (!m_scrolls.ScrollBy(element, point, m_ptPointer)) {
        element->OnEvent(IXEV_GESTUREENDED, 0);
        EndPointerGesture();
    }
}

// ---------------------------------------------------------------------------
// Scroll records

LRESULT IxGestureEngine::ScrollService(int code, void* record, LPARAM value)
{
    switch (code) {
    case IXSVC_BEGINGESTURE:
        m_scrolls.Register(static_cast<IxGestureRecord*>(record), static_cast<int>(value));
        return 1;
    case IXSVC_SCROLLLIMITS:
        m_scrolls.SetLimits(static_cast<IxGestureRecord*>(record));
        return 1;
    case IXSVC_ENDGESTURE: {
        auto* element = static_cast<IxElement*>(record);
        m_scrolls.Remove(element);
        if (element && element == m_pGestureElement && m_nGestureMode >= IXGM_LONGPRESS)
            EndPointerGesture();
        return 1;
    }
    case IXSVC_SCROLLRUNNING: {
        auto* element = static_cast<IxElement*>(record);
        if (m_scrolls.Find(element) < 0)
            return 0;
        return m_scrolls.IsFlingRunning(element) || (element == m_pGestureElement && m_nGestureMode == IXGM_SCROLL);
    }
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------
// Timers and deleted elements

void IxGestureEngine::OnTimer(UINT_PTR id)
{
    if (!m_frame.m_pKernel)
        return;
    if (id == kDelayedReleaseTimer) {
        m_frame.m_pKernel->KillTimer(&m_frame, kDelayedReleaseTimer);
        if (m_dwState & IXFS_DELAYEDRELEASE) {
            m_dwState &= ~IXFS_DELAYEDRELEASE;
            GestureInput(IXIN_UP, m_ptPointer);
        }
        return;
    }
    if (id == IxTimerId(&m_gc.nLongPressDelay)) {
        m_frame.m_pKernel->KillTimer(&m_frame, id);
        IxElement* element = m_pGestureElement;
        if (m_nGestureMode == IXGM_LONGPRESS && element) {
            IxElementWatch watch(element);
            element->OnEvent(IXEV_LONGPRESS, 0);
            if (watch.Alive()) {
                m_scrolls.Remove(element);
                if (m_pGestureElement == element && m_nGestureMode == IXGM_LONGPRESS)
                    m_nGestureMode = IXGM_CANDIDATE;
            }
        }
        return;
    }
    m_scrolls.OnTimer(id);
}

void IxGestureEngine::ForgetElement(IxElement* element)
{
    if (!element)
        return;
    if (m_pDropTarget == element)
        m_pDropTarget = nullptr;
    if (m_pHover == element)
        m_pHover = nullptr;
    m_scrolls.Remove(element);
    if (m_pGestureElement == element) {
        // The element is being deleted: its gesture ends without telling it;
        // the drag layer goes at the end of the bracket (its owner decides).
        m_pGestureElement = nullptr;
        m_nGestureMode = IXGM_NONE;
        m_dwState &= ~(IXFS_DRAGLAYER | IXFS_DELAYEDRELEASE);
        m_sampler.Forget();
        if (m_frame.m_pKernel) {
            m_frame.m_pKernel->KillTimer(&m_frame, kDelayedReleaseTimer);
            m_frame.m_pKernel->KillTimer(&m_frame, IxTimerId(&m_gc.nLongPressDelay));
        }
        ReleasePointerCapture();
    }
}
