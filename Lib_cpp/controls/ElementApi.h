// Free functions through which screens and controls reach the kernel and
// work on their elements without holding a kernel pointer: layers and
// popups, drags and gestures, element timers, operations on the child with
// a given id, screen-change events, rectangle and text helpers, and the
// image-reference helpers of the drawn elements.
//
// Everything here runs on the user-interface thread. The kernel wrappers
// reach the one kernel through IxGetKernel() and IxKernel::Service; without
// a kernel they do nothing and answer 0.
#pragma once

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/core/String.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Types.h"

class IxImage;

// ---------------------------------------------------------------------------
// Layers, popups, drags and gestures (kernel services)

// Drains the action queue first when drain is set, then updates the main
// window at once.
void RepaintNow(BOOL drain);
// Centres the view in the frame and pushes it as the popup layer, with the
// owner as layer owner (none with withoutOwner). 0 while a popup is up (the
// owner stays unmarked); 1 otherwise, and a given owner gets IXF_OWNSLAYER.
int ShowPopup(IxElement* owner, IxElement* view, BOOL withoutOwner);
void ClosePopup();
// Pushes the view at the priority (the queue is drained first). The owner
// gets IXF_OWNSLAYER unless withoutOwner is set.
void PushLayer(IxElement* owner, IxElement* view, int priority, BOOL withoutOwner);
// Top layer of the level: priority IXLAYER_TOP - level for a level above 0,
// -(IXLAYER_TOP - |level|) otherwise.
void PushTopLayer(IxElement* owner, IxElement* view, int level, BOOL withoutOwner);
// As above, the view's position being given in the owner's coordinates: the
// view is first moved to root coordinates (size kept).
void PushLayerAtOwner(IxElement* owner, IxElement* view, int priority, BOOL withoutOwner);
void PushTopLayerAtOwner(IxElement* owner, IxElement* view, int level, BOOL withoutOwner);
// Drains the queue and removes the layer of the view id (0 = the top one).
void PopLayer(int viewId);
// Ends the kernel's modal loop with the result.
void EndModal(int result);
// 1 when a layer of the view id (0 = any) is on the stack.
BOOL IsLayerShown(int viewId);

// The kernel's drag record, never null (a spare one while there is no kernel).
IxDragRecord* IxGetDragRecord();

// Records the view's size and the point's offset from its top-left corner
// (both in the owner's coordinates), moves the view to root coordinates and
// pushes it as the drag layer owned by the owner (IXF_OWNSLAYER). Nothing
// when the view is null.
void StartDragImage(IxElement* owner, IxElement* view, POINT point);
// The drag layer's view (the element that follows the pointer), or null.
IxElement* GetDragImage();
// The id of the drag layer's view, or -1. With out: its rectangle in the
// element's coordinates (empty when there is no drag layer).
int GetDragImageRect(IxElement* element, RECT* out);
// 1 when the kernel follows an item drag whose source is the element.
BOOL IsDragSource(IxElement* element);
// 1 when the kernel follows an item drag whose drop target is its source.
BOOL IsDropOnSource();
// Asks the kernel to take the pointer away from the element if it holds it.
LRESULT ReleasePointer(IxElement* element);
// 1 when the pointer moved since the press the kernel follows.
BOOL PointerHasMoved();
// 1 when nothing is drawn over the element: its root is the top layer, no
// drag image is up and no later sibling of it or of its ancestors overlaps
// it. Only then may its pixels be moved on the screen.
BOOL IsUncovered(const IxElement* element);
// The window the element is drawn in: its root's (the kernel frame's).
HWND WindowOf(const IxElement* element);

// Sets IXF_GESTURE on the element and registers the gesture (IxGestureRecord,
// Kernel.h); values[8] is the service's number argument. Returns the service's answer.
LRESULT BeginGesture(IxElement* element, const RECT& first, const RECT& second, const int (&values)[9]);
// When IXF_GESTURE is set: ends the element's gesture with the kernel and
// clears the flag, returning the service's answer; else 0. (Inside members
// of element classes call it as ::EndGesture: IxElement has a member of the
// same name.)
LRESULT EndGesture(IxElement* element);

// Creates (or empties) the kernel's record of key 0 and writes the
// element's id into it. Null when memory runs out (last error 2) or there
// is no kernel.
IxKeyedRecord* RecordDragOwner(IxElement* element);
void ForgetDragOwner();

// ---------------------------------------------------------------------------
// Timers of an element: a fired timer reaches the element as event 36.

BOOL SetElementTimer(IxElement* element, UINT_PTR timerId, int intervalMs);
void KillElementTimer(IxElement* element, UINT_PTR timerId);

// ---------------------------------------------------------------------------
// Operations on the child with an id. The nearest element with the id is
// found: the view's own subtree first, then outward through the ancestors'
// other subtrees; the ...Inside and SetChildMarked variants search only the
// view's subtree. A missing id changes nothing and answers 0.

int SetChildProperty(IxElement* view, int id, int property, LPARAM value);
// Property 21 (repaint) or 22 with the address of a handle to the text; the
// text's block is held for the call.
int SetChildText(IxElement* view, int id, const IxString& text, BOOL repaint);
void SetChildProperties(IxElement* view, int id, LPARAM p2, LPARAM p5, LPARAM p3, LPARAM p6, LPARAM p7, LPARAM p4);
int QueryChild(IxElement* view, int id, int code, LPARAM* out);
void SetChildVisible(IxElement* view, int id, BOOL show, BOOL repaint);
void SetChildVisibleInside(IxElement* view, int id, BOOL show, BOOL repaint);
void SetChildEnabled(IxElement* view, int id, BOOL enable, BOOL repaint);
void SetChildInputAllowed(IxElement* view, int id, BOOL allow, BOOL repaint);
void SetChildPressed(IxElement* view, int id, BOOL on, BOOL repaint);
void SetChildSelected(IxElement* view, int id, BOOL on, BOOL repaint);
void SetChildCurrent(IxElement* view, int id, BOOL on, BOOL repaint);
// unmarked 1 clears IXF_MARKED, 0 sets it.
void SetChildMarked(IxElement* view, int id, BOOL unmarked, BOOL repaint);
BOOL FocusChild(IxElement* view, int id);
// 1 when any bit of the mask is set.
BOOL ChildHasFlags(IxElement* view, int id, DWORD mask);
// 1 when the element exists and no bit of the mask is set.
BOOL ChildLacksFlags(IxElement* view, int id, DWORD mask);
void MoveChildTo(IxElement* view, int id, int x, int y, BOOL repaint);
void MoveChildToDepth(IxElement* view, int id, int x, int y, int nearZ, BOOL repaint);
void SetChildBounds(IxElement* view, int id, int x, int y, int width, int height, BOOL repaint);
void SetChildBoundsDepth(IxElement* view, int id, int x, int y, int nearZ, int width, int height, int depth,
                         BOOL repaint);

// ---------------------------------------------------------------------------
// Element functions

// To (x, y) keeping the size, near = far = nearZ.
void MoveToDepth(IxElement* element, int x, int y, int nearZ, BOOL repaint);
void SetBounds(IxElement* element, int x, int y, int width, int height, BOOL repaint);
// With repaint the element is marked for update first; then layout pending.
void MarkLayoutPending(IxElement* element, BOOL repaint);
// The element is laid out again before it is next painted: with repaint it
// is invalidated whole (mode IXINV_UPDATE) at once, else only marked update
// pending (unless something is pending already).
void RefreshLayout(IxElement* element, BOOL repaint);
// SetFocus when the element takes the focus when clicked, else 0.
BOOL SetFocusIfFocusable(IxElement* element);

// Record of the text properties 28 and 29: the text element takes the text,
// a text button also the value.
struct IxTextPropertyRecord {
    IxString text;
    LPARAM lValue;
    int nMarker; // kIxTextRecordMarker
};
inline constexpr int kIxTextRecordMarker = static_cast<int>(0x80000001);
// Property 28 (repaint) or 29 with {text, value, marker}; the text's block
// is held for the call. Returns the element's answer.
int SetElementText(IxElement* element, const IxString& text, LPARAM value, BOOL repaint);

// Replaces the image in the slot by the new one, which takes the old one's
// current frame (none counts as 0). The old image loses the slot's
// reference; the caller's reference to the new image passes to the slot.
void AssignImageRef(IxElement* element, IxImage** slot, IxImage* image);
// The image frame code (IXSTATE_...) for the element's state; the current
// item's look only with withCurrent.
int PickStateFrame(const IxElement* element, IxImage* image, BOOL withCurrent);
// frame -1: the next frame; another frame: select it. Redraws when the image
// changed and repaint is set. 1 when the image changed.
BOOL SetImageFrame(IxElement* element, IxImage* image, int frame, BOOL repaint);
// frame -2: the next frame; another: select it. When the image changed and
// its size with it, the element's layout is redone (marked update pending);
// with the same size it is only redrawn (with repaint). 1 when it changed.
BOOL SetImageFrameAndLayout(IxElement* element, IxImage* image, int frame, BOOL repaint);
// A new image for the content kinds 12 to 15 (path or IxStringArray* of
// paths in the content value; frames side by side for kinds 12 and 14 when
// the length is 2 or more); loaded on demand when the element is marked.
// Null for other kinds, without a value, or when memory runs out.
IxImage* CreateImageFromParams(const IxElement* element, const IxElementParams* params);

// ---------------------------------------------------------------------------
// Rectangle and text helpers

// Grows rect to include other.
void UnionRect(RECT* rect, const RECT& other);
// The content rectangle aligned inside box by the element's alignment flags.
void AlignRectIn(const IxElement* element, const RECT& box, int contentWidth, int contentHeight, RECT* out);
// The source (first) and destination (second) of a content shift by dx, dy
// inside the element; an axis that does not move gets the whole extent.
void SplitScrollRects(const IxElement* element, int dx, int dy, RECT* first, RECT* second);
// Places rect so that the point keeps the drag record's grab offset (scaled
// when rect's size differs from the recorded one).
void FollowDragImage(RECT* rect, POINT point);
// rect resized to size keeping the point (when inside) at the same relative
// place; an axis whose new size is 0 keeps its old extent.
void ZoomRectAt(const RECT& rect, POINT point, SIZE size, RECT* out);
// Draws only the run of characters between the clip edges, pen starting at
// x, with ExtTextOutW. Returns the number of characters drawn.
int DrawVisibleText(HDC dc, int x, int y, int clipLeft, int clipRight, LPCWSTR text, int count, const int* advances);
// Sizes both arrays to count and copies the text into the first. On a
// memory failure or an empty text both become empty and 0 is returned.
BOOL CopyTextWithAdvances(IxArray<WCHAR>* characters, IxArray<int>* advances, LPCWSTR text, int count);
// Scrolls the part of the window under rect (element coordinates) by dx
// (dy) and replaces rect by the uncovered strip, in window coordinates.
void ScrollWindowRectH(IxElement* element, HWND window, RECT* rect, int dx);
void ScrollWindowRectV(IxElement* element, HWND window, RECT* rect, int dy);

// ---------------------------------------------------------------------------
// Screen events

// Broadcast at once with kind AEV_DEFAULT: IXA_VIEWENTERED a full screen,
// IXA_PIPVIEWENTERED a picture-in-picture screen was entered, IXA_VIEWLEFT a
// screen was left.
void BroadcastViewEntered(int screenId);
void BroadcastPipViewEntered(int screenId);
void BroadcastViewLeft(int screenId);
// Queued with kind AEV_DEFAULT: IXA_BACK the back command, IXA_CLOSEVIEW a
// screen closing itself.
void PostBackCommand(int screenId);
void PostCloseView(int screenId);
// The layer of the view id goes at the next deferred-work flush.
void PopLayerLater(int viewId);
