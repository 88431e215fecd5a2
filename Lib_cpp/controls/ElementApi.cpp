#include "Lib_cpp/controls/ElementApi.h"

#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/image/Image.h"
#include "platform/base/Rect.h"
#include "platform/gfx/Gdi.h"
#include "platform/ui/Window.h"

#include <cstring>
#include <new>

namespace {

IxDragRecord g_spareDragRecord{0, 0, 0, 0};

LRESULT Service(int code, void* record, LPARAM value)
{
    IxKernel* kernel = IxGetKernel();
    return kernel ? kernel->Service(code, record, value) : 0;
}

void MarkOwner(IxElement* owner)
{
    if (owner)
        owner->SetFlags(IXF_OWNSLAYER, 0);
}

// The view's position, given in the owner's coordinates, in root coordinates.
void MoveToRoot(IxElement* owner, IxElement* view)
{
    if (!owner || !view)
        return;
    RECT rc;
    view->GetRect(&rc);
    POINT pt{rc.left, rc.top};
    owner->LocalToScreen(&pt);
    view->MoveTo(pt.x, pt.y, FALSE);
}

IxElement* FindChild(IxElement* view, int id, bool insideOnly)
{
    if (!view)
        return nullptr;
    return view->FindElement(IXFIND_ID, id, nullptr, view, insideOnly ? view : nullptr);
}

SIZE ImageSize(IxImage* image)
{
    SIZE size{0, 0};
    image->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
    return size;
}

template <class T, class... A> IxImage* NewImage(A&&... args)
{
    T* image = new (std::nothrow) T(std::forward<A>(args)...);
    if (!image)
        IxRecordNoMemory();
    return image;
}

// The rectangle in the coordinates of the window that shows the element's
// root (the root's own origin counts).
void ToWindow(const IxElement* element, RECT* rect)
{
    IxElement* root = element->LocalToScreenRect(rect);
    RECT rootRect;
    root->GetRect(&rootRect);
    rect->left += rootRect.left;
    rect->right += rootRect.left;
    rect->top += rootRect.top;
    rect->bottom += rootRect.top;
}

} // namespace

// ---------------------------------------------------------------------------
// Layers, popups, drags and gestures

void RepaintNow(BOOL drain)
{
    Service(IXSVC_REPAINTNOW, nullptr, drain ? 1 : 0);
}

int ShowPopup(IxElement* owner, IxElement* view, BOOL withoutOwner)
{
    IxLayerRecord record{view, withoutOwner ? nullptr : owner};
    if (!Service(IXSVC_POPUP, &record, 0))
        return 0;
    MarkOwner(record.pOwner);
    return 1;
}

void ClosePopup()
{
    Service(IXSVC_CLOSEPOPUP, nullptr, 0);
}

void PushLayer(IxElement* owner, IxElement* view, int priority, BOOL withoutOwner)
{
    IxLayerRecord record{view, withoutOwner ? nullptr : owner};
    Service(IXSVC_PUSH, &record, priority);
    MarkOwner(record.pOwner);
}

void PushTopLayer(IxElement* owner, IxElement* view, int level, BOOL withoutOwner)
{
    IxLayerRecord record{view, withoutOwner ? nullptr : owner};
    Service(IXSVC_PUSHTOP, &record, level);
    MarkOwner(record.pOwner);
}

void PushLayerAtOwner(IxElement* owner, IxElement* view, int priority, BOOL withoutOwner)
{
    MoveToRoot(owner, view);
    PushLayer(owner, view, priority, withoutOwner);
}

void PushTopLayerAtOwner(IxElement* owner, IxElement* view, int level, BOOL withoutOwner)
{
    MoveToRoot(owner, view);
    PushTopLayer(owner, view, level, withoutOwner);
}

void PopLayer(int viewId)
{
    Service(IXSVC_POP, nullptr, viewId);
}

void EndModal(int result)
{
    Service(IXSVC_ENDMODAL, nullptr, result);
}

BOOL IsLayerShown(int viewId)
{
    return Service(IXSVC_ISSHOWN, nullptr, viewId) ? TRUE : FALSE;
}

IxDragRecord* IxGetDragRecord()
{
    IxKernel* kernel = IxGetKernel();
    return kernel ? kernel->GetDragRecord() : &g_spareDragRecord;
}

void StartDragImage(IxElement* owner, IxElement* view, POINT point)
{
    if (!view)
        return;
    RECT rc;
    view->GetRect(&rc);
    IxDragRecord* drag = IxGetDragRecord();
    drag->nWidth = rc.right - rc.left;
    drag->nHeight = rc.bottom - rc.top;
    drag->nGrabX = point.x - rc.left;
    drag->nGrabY = point.y - rc.top;
    MoveToRoot(owner, view);
    IxLayerRecord record{view, owner};
    Service(IXSVC_DRAGLAYER, &record, 0);
    MarkOwner(owner);
}

IxElement* GetDragImage()
{
    return reinterpret_cast<IxElement*>(Service(IXSVC_DRAGVIEW, nullptr, 0));
}

int GetDragImageRect(IxElement* element, RECT* out)
{
    IxElement* view = GetDragImage();
    if (out) {
        *out = RECT{0, 0, 0, 0};
        if (view) {
            view->GetRect(out);
            if (element)
                element->ScreenToLocalRect(out);
        }
    }
    return view ? view->GetId() : -1;
}

BOOL IsDragSource(IxElement* element)
{
    return Service(IXSVC_ISDRAGSOURCE, element, 0) ? TRUE : FALSE;
}

BOOL IsDropOnSource()
{
    return Service(IXSVC_DRAGONSOURCE, nullptr, 0) ? TRUE : FALSE;
}

LRESULT ReleasePointer(IxElement* element)
{
    return Service(IXSVC_SCROLLRUNNING, element, 0);
}

BOOL PointerHasMoved()
{
    return Service(IXSVC_MOVED, nullptr, 0) ? TRUE : FALSE;
}

BOOL IsUncovered(const IxElement* element)
{
    if (!element || Service(IXSVC_DRAGVIEW, nullptr, 0))
        return FALSE;
    const auto* top = reinterpret_cast<const IxElement*>(Service(IXSVC_ISSHOWN, nullptr, 0));
    RECT rc;
    element->GetRect(&rc);
    for (const IxElement* e = element; e != top; e = e->GetParent()) {
        const IxElement* parent = e->GetParent();
        if (!parent)
            return FALSE;
        // Siblings after e are drawn over it; rc is in parent's coordinates.
        for (const IxListNode* node = e->m_pNext; node; node = node->m_pNext) {
            const auto* sibling = static_cast<const IxElement*>(node);
            RECT other;
            sibling->GetRect(&other);
            if (!sibling->HasFlag(IXF_HIDDEN) && platform::RectsOverlap(rc, other))
                return FALSE;
        }
        RECT prc;
        parent->GetRect(&prc);
        rc = platform::Offset(rc, prc.left, prc.top);
    }
    return TRUE;
}

HWND WindowOf(const IxElement* element)
{
    while (element && element->GetParent())
        element = element->GetParent();
    return element ? element->GetChildWindow() : nullptr;
}

LRESULT BeginGesture(IxElement* element, const RECT& first, const RECT& second, const int (&values)[9])
{
    if (!element)
        return 0;
    IxGestureRecord record{};
    record.pElement = element;
    record.nViewWidth = first.right - first.left;
    record.nViewHeight = first.bottom - first.top;
    record.nOffsetX = second.left - first.left;
    record.nOffsetY = second.top - first.top;
    record.nContentWidth = second.right - second.left;
    record.nContentHeight = second.bottom - second.top;
    std::memcpy(record.values, values, sizeof record.values);
    element->SetFlags(IXF_GESTURE, 0);
    return Service(IXSVC_BEGINGESTURE, &record, values[8]);
}

LRESULT EndGesture(IxElement* element)
{
    if (!element || !element->HasFlag(IXF_GESTURE))
        return 0;
    IxElementWatch watch(element);
    LRESULT answer = Service(IXSVC_ENDGESTURE, element, 0);
    if (watch.Alive())
        element->SetFlags(0, IXF_GESTURE);
    return answer;
}

IxKeyedRecord* RecordDragOwner(IxElement* element)
{
    IxKernel* kernel = IxGetKernel();
    if (!kernel)
        return nullptr;
    IxKeyedRecord* record = kernel->GetRecord(kIxDragOwnerRecord, TRUE);
    if (!record) {
        IxRecordError(IXERR_NOMEMORY);
        return nullptr;
    }
    record->first.RemoveAll();
    record->second.RemoveAll();
    record->nElementId = element ? element->GetId() : 0;
    return record;
}

void ForgetDragOwner()
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->RemoveRecord(kIxDragOwnerRecord);
}

// ---------------------------------------------------------------------------
// Timers

BOOL SetElementTimer(IxElement* element, UINT_PTR timerId, int intervalMs)
{
    IxKernel* kernel = IxGetKernel();
    return kernel ? kernel->SetTimer(element, timerId, intervalMs) : FALSE;
}

void KillElementTimer(IxElement* element, UINT_PTR timerId)
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->KillTimer(element, timerId);
}

// ---------------------------------------------------------------------------
// Child operations by id

int SetChildProperty(IxElement* view, int id, int property, LPARAM value)
{
    IxElement* child = FindChild(view, id, false);
    return child ? child->SetProperty(property, value) : 0;
}

int SetChildText(IxElement* view, int id, const IxString& text, BOOL repaint)
{
    IxString held(text);
    return SetChildProperty(view, id, repaint ? IXP_TEXTNOW : IXP_TEXTLATER, reinterpret_cast<LPARAM>(&held));
}

void SetChildProperties(IxElement* view, int id, LPARAM p2, LPARAM p5, LPARAM p3, LPARAM p6, LPARAM p7, LPARAM p4)
{
    if (IxElement* child = FindChild(view, id, false))
        child->SetProperties(p2, p5, p3, p6, p7, p4);
}

int QueryChild(IxElement* view, int id, int code, LPARAM* out)
{
    IxElement* child = FindChild(view, id, false);
    return child ? child->Query(code, out) : 0;
}

void SetChildVisible(IxElement* view, int id, BOOL show, BOOL repaint)
{
    if (IxElement* child = FindChild(view, id, false))
        child->Show(show, repaint);
}

void SetChildVisibleInside(IxElement* view, int id, BOOL show, BOOL repaint)
{
    if (IxElement* child = FindChild(view, id, true))
        child->Show(show, repaint);
}

void SetChildEnabled(IxElement* view, int id, BOOL enable, BOOL repaint)
{
    if (IxElement* child = FindChild(view, id, false))
        child->Enable(enable, repaint);
}

void SetChildInputAllowed(IxElement* view, int id, BOOL allow, BOOL repaint)
{
    if (IxElement* child = FindChild(view, id, false))
        child->SetInputAllowed(allow, repaint);
}

void SetChildPressed(IxElement* view, int id, BOOL on, BOOL repaint)
{
    if (IxElement* child = FindChild(view, id, false))
        child->SetPressed(on, repaint);
}

void SetChildSelected(IxElement* view, int id, BOOL on, BOOL repaint)
{
    if (IxElement* child = FindChild(view, id, false))
        child->SetSelected(on, repaint);
}

void SetChildCurrent(IxElement* view, int id, BOOL on, BOOL repaint)
{
    if (IxElement* child = FindChild(view, id, false))
        child->SetCurrent(on, repaint);
}

void SetChildMarked(IxElement* view, int id, BOOL unmarked, BOOL repaint)
{
    if (IxElement* child = FindChild(view, id, true))
        child->SetUnmarked(unmarked, repaint);
}

BOOL FocusChild(IxElement* view, int id)
{
    IxElement* child = FindChild(view, id, false);
    return child ? child->SetFocus() : FALSE;
}

BOOL ChildHasFlags(IxElement* view, int id, DWORD mask)
{
    IxElement* child = FindChild(view, id, false);
    return child && child->HasFlag(mask) ? TRUE : FALSE;
}

BOOL ChildLacksFlags(IxElement* view, int id, DWORD mask)
{
    IxElement* child = FindChild(view, id, false);
    return child && !child->HasFlag(mask) ? TRUE : FALSE;
}

void MoveChildTo(IxElement* view, int id, int x, int y, BOOL repaint)
{
    if (IxElement* child = FindChild(view, id, false))
        child->MoveTo(x, y, repaint);
}

void MoveChildToDepth(IxElement* view, int id, int x, int y, int nearZ, BOOL repaint)
{
    MoveToDepth(FindChild(view, id, false), x, y, nearZ, repaint);
}

void SetChildBounds(IxElement* view, int id, int x, int y, int width, int height, BOOL repaint)
{
    SetBounds(FindChild(view, id, false), x, y, width, height, repaint);
}

void SetChildBoundsDepth(IxElement* view, int id, int x, int y, int nearZ, int width, int height, int depth,
                         BOOL repaint)
{
    if (IxElement* child = FindChild(view, id, false))
        child->SetRect(x, y, nearZ, x + width, y + height, nearZ + depth, repaint);
}

// ---------------------------------------------------------------------------
// Element functions

void MoveToDepth(IxElement* element, int x, int y, int nearZ, BOOL repaint)
{
    if (element)
        element->SetRect(x, y, nearZ, x + element->Width(), y + element->Height(), nearZ, repaint);
}

void SetBounds(IxElement* element, int x, int y, int width, int height, BOOL repaint)
{
    if (element)
        element->SetRect(x, y, 0, x + width, y + height, 0, repaint);
}

void MarkLayoutPending(IxElement* element, BOOL repaint)
{
    if (!element)
        return;
    if (repaint)
        element->InvalidateArea(nullptr, IXINV_UPDATE);
    element->SetFlags(IXF_LAYOUTPENDING, 0);
}

void RefreshLayout(IxElement* element, BOOL repaint)
{
    if (!element)
        return;
    if (repaint)
        element->InvalidateArea(nullptr, IXINV_UPDATE);
    else if (!element->HasFlag(IXF_PENDING))
        element->SetFlags(IXF_UPDATEPENDING, 0);
}

BOOL SetFocusIfFocusable(IxElement* element)
{
    return element && element->HasFlag(IXF_FOCUSONCLICK) ? element->SetFocus() : FALSE;
}

int SetElementText(IxElement* element, const IxString& text, LPARAM value, BOOL repaint)
{
    if (!element)
        return 0;
    IxTextPropertyRecord record{text, value, kIxTextRecordMarker};
    return element->SetProperty(repaint ? IXP_TEXTRECORDNOW : IXP_TEXTRECORDLATER, reinterpret_cast<LPARAM>(&record));
}

void AssignImageRef(IxElement*, IxImage** slot, IxImage* image)
{
    if (!slot)
        return;
    if (IxImage* old = *slot) {
        if (image) {
            INT_PTR frame = old->Query(IXIQ_CURFRAME, 0);
            image->Control(IXIC_SETFRAME, frame < 0 ? 0 : frame);
        }
        old->Release();
    }
    *slot = image;
}

int PickStateFrame(const IxElement* element, IxImage* image, BOOL withCurrent)
{
    auto has = [image](int code) { return image && image->Query(IXIQ_HASFRAME, code) != 0; };
    if (!element)
        return IXSTATE_NORMAL;
    if (element->HasFlag(IXF_DISABLED | IXF_NOINPUT) && has(IXSTATE_DISABLED))
        return IXSTATE_DISABLED;
    if (withCurrent && element->HasFlag(IXF_CURRENT) && has(IXSTATE_CURRENT))
        return IXSTATE_CURRENT;
    const bool pressed = element->HasFlag(IXF_PRESSED);
    if (element->HasFlag(IXF_SELECTED)) {
        if (pressed && has(IXSTATE_SELECTEDPRESSED))
            return IXSTATE_SELECTEDPRESSED;
        if (has(IXSTATE_SELECTED))
            return IXSTATE_SELECTED;
    }
    if (!pressed)
        return IXSTATE_NORMAL;
    return has(IXSTATE_PRESSED) ? IXSTATE_PRESSED : IXSTATE_NORMAL;
}

BOOL SetImageFrame(IxElement* element, IxImage* image, int frame, BOOL repaint)
{
    if (!image)
        return FALSE;
    BOOL changed = frame == -1 ? image->Control(IXIC_NEXTFRAME, 0) : image->Control(IXIC_SETFRAME, frame);
    if (changed && repaint && element)
        element->Redraw();
    return changed ? TRUE : FALSE;
}

BOOL SetImageFrameAndLayout(IxElement* element, IxImage* image, int frame, BOOL repaint)
{
    if (!image)
        return FALSE;
    const SIZE before = ImageSize(image);
    BOOL changed = frame == -2 ? image->Control(IXIC_NEXTFRAME, 0) : image->Control(IXIC_SETFRAME, frame);
    if (!changed)
        return FALSE;
    if (!element)
        return TRUE;
    const SIZE after = ImageSize(image);
    if (after.cx != before.cx || after.cy != before.cy)
        RefreshLayout(element, repaint);
    else if (repaint)
        element->Redraw();
    return TRUE;
}

IxImage* CreateImageFromParams(const IxElement* element, const IxElementParams* params)
{
    if (!params || !params->lContentValue)
        return nullptr;
    const int loadMode = element && element->HasFlag(IXF_MARKED) ? IXLM_DEMAND : IXLM_NOW;
    const int frames = params->nContentLength >= 2 ? params->nContentLength : 1;
    auto path = reinterpret_cast<LPCWSTR>(params->lContentValue);
    auto paths = reinterpret_cast<const IxStringArray*>(params->lContentValue);
    switch (params->nContentKind) {
    case IXCONTENT_BITMAPFILE:
        return NewImage<IxBitmapImage>(path, frames, loadMode);
    case IXCONTENT_BITMAPLIST:
        return NewImage<IxBitmapImage>(*paths, loadMode);
    case IXCONTENT_DECODEDFILE:
        return NewImage<IxDecodedImage>(path, frames, loadMode);
    case IXCONTENT_DECODEDLIST:
        return NewImage<IxDecodedImage>(*paths, loadMode, 0);
    default:
        return nullptr;
    }
}

// ---------------------------------------------------------------------------
// Rectangle and text helpers

void UnionRect(RECT* rect, const RECT& other)
{
    if (!rect)
        return;
    if (other.left < rect->left)
        rect->left = other.left;
    if (other.top < rect->top)
        rect->top = other.top;
    if (other.right > rect->right)
        rect->right = other.right;
    if (other.bottom > rect->bottom)
        rect->bottom = other.bottom;
}

void AlignRectIn(const IxElement* element, const RECT& box, int contentWidth, int contentHeight, RECT* out)
{
    if (!element || !out)
        return;
    int x = box.left + element->HorizontalOffset(contentWidth, box.right - box.left);
    int y = box.top + element->VerticalOffset(contentHeight, box.bottom - box.top);
    *out = RECT{x, y, x + contentWidth, y + contentHeight};
}

void SplitScrollRects(const IxElement* element, int dx, int dy, RECT* first, RECT* second)
{
    if (!element || !first || !second)
        return;
    // One axis: the part that stays visible before (first) and after
    // (second) the shift.
    auto split = [](int d, int extent, LONG* firstLo, LONG* firstHi, LONG* secondLo, LONG* secondHi) {
        *firstLo = d < 0 ? -d : 0;
        *firstHi = d > 0 ? extent - d : extent;
        *secondLo = d > 0 ? d : 0;
        *secondHi = d < 0 ? extent + d : extent;
    };
    split(dx, element->Width(), &first->left, &first->right, &second->left, &second->right);
    split(dy, element->Height(), &first->top, &first->bottom, &second->top, &second->bottom);
}

void FollowDragImage(RECT* rect, POINT point)
{
    const IxDragRecord* drag = IxGetDragRecord();
    if (!rect || drag->nWidth < 1 || drag->nHeight < 1)
        return;
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;
    rect->left = point.x - (width == drag->nWidth ? drag->nGrabX : IxMulDiv(drag->nGrabX, width, drag->nWidth));
    rect->right = rect->left + width;
    rect->top = point.y - (height == drag->nHeight ? drag->nGrabY : IxMulDiv(drag->nGrabY, height, drag->nHeight));
    rect->bottom = rect->top + height;
}

void ZoomRectAt(const RECT& rect, POINT point, SIZE size, RECT* out)
{
    if (!out)
        return;
    const int oldWidth = rect.right - rect.left;
    const int oldHeight = rect.bottom - rect.top;
    if (oldWidth == size.cx && oldHeight == size.cy) {
        *out = rect;
        return;
    }
    const bool inside = PtInRectInclusive(rect, point);
    const bool resizeX = size.cx != oldWidth && size.cx != 0;
    const bool resizeY = size.cy != oldHeight && size.cy != 0;
    RECT r = rect;
    if (inside && resizeX)
        r.left = point.x - IxMulDiv(point.x - rect.left, size.cx, oldWidth);
    if (inside && resizeY)
        r.top = point.y - IxMulDiv(point.y - rect.top, size.cy, oldHeight);
    r.right = resizeX ? r.left + size.cx : rect.right;
    r.bottom = resizeY ? r.top + size.cy : rect.bottom;
    *out = r;
}

int DrawVisibleText(HDC dc, int x, int y, int clipLeft, int clipRight, LPCWSTR text, int count, const int* advances)
{
    if (!text || !advances || count <= 0)
        return 0;
    int pen = x;
    int first = 0;
    while (first < count && pen + advances[first] < clipLeft)
        pen += advances[first++];
    const int start = pen;
    int end = first;
    while (end < count && pen < clipRight)
        pen += advances[end++];
    if (end == first)
        return 0;
    ExtTextOutW(dc, start, y, 0, nullptr, text + first, static_cast<UINT>(end - first), advances + first);
    return end - first;
}

BOOL CopyTextWithAdvances(IxArray<WCHAR>* characters, IxArray<int>* advances, LPCWSTR text, int count)
{
    if (!characters || !advances)
        return FALSE;
    characters->RemoveAll();
    advances->RemoveAll();
    if (!text || count <= 0)
        return FALSE;
    if (!characters->Insert(0, text, count) || !advances->InsertGap(0, count)) {
        characters->RemoveAll();
        advances->RemoveAll();
        return FALSE;
    }
    return TRUE;
}

void ScrollWindowRectH(IxElement* element, HWND window, RECT* rect, int dx)
{
    if (!element || !rect)
        return;
    ToWindow(element, rect);
    RECT part = *rect;
    if (dx > 0)
        part.right -= dx;
    else if (dx < 0)
        part.left -= dx;
    if (dx != 0 && part.left < part.right)
        ScrollWindowEx(window, dx, 0, &part, nullptr, nullptr, nullptr, 0);
    if (dx > 0)
        rect->right = rect->left + dx;
    else
        rect->left = rect->right + dx;
}

void ScrollWindowRectV(IxElement* element, HWND window, RECT* rect, int dy)
{
    if (!element || !rect)
        return;
    ToWindow(element, rect);
    RECT part = *rect;
    if (dy > 0)
        part.bottom -= dy;
    else if (dy < 0)
        part.top -= dy;
    if (dy != 0 && part.top < part.bottom)
        ScrollWindowEx(window, 0, dy, &part, nullptr, nullptr, nullptr, 0);
    if (dy > 0)
        rect->bottom = rect->top + dy;
    else
        rect->top = rect->bottom + dy;
}

// ---------------------------------------------------------------------------
// Screen events

void BroadcastViewEntered(int screenId)
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->Broadcast(IXA_VIEWENTERED, AEV_DEFAULT, screenId);
}

void BroadcastPipViewEntered(int screenId)
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->Broadcast(IXA_PIPVIEWENTERED, AEV_DEFAULT, screenId);
}

void BroadcastViewLeft(int screenId)
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->Broadcast(IXA_VIEWLEFT, AEV_DEFAULT, screenId);
}

void PostBackCommand(int screenId)
{
    PushGlobalAction(IXA_BACK, AEV_DEFAULT, screenId);
}

void PostCloseView(int screenId)
{
    PushGlobalAction(IXA_CLOSEVIEW, AEV_DEFAULT, screenId);
}

void PopLayerLater(int viewId)
{
    if (IxKernel* kernel = IxGetKernel()) {
        kernel->RequestPopLater(viewId);
    }
}
