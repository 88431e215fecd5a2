// The kernel frame: the root view of the user interface inside the main
// window. It owns the kernel, the layer stack, the action queue and the timer
// table, and turns the main window's messages into kernel work: every
// handler runs inside one busy bracket, whose outermost end carries out the
// work that handlers only requested.
#pragma once

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/controls/FrameView.h"
#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/frame/FrameCaret.h"
#include "Lib_cpp/frame/FrameCodes.h"
#include "Lib_cpp/frame/FrameWnd.h"
#include "Lib_cpp/frame/GestureEngine.h"
#include "Lib_cpp/frame/Invalidation.h"
#include "Lib_cpp/frame/KeyRouter.h"
#include "Lib_cpp/frame/LayerStack.h"
#include "Lib_cpp/frame/ModalLoop.h"
#include "Lib_cpp/image/Bitmap.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Types.h"

// The file system's side of the file-change refresh. The frame keeps the
// delay timer and the refresh request (action 51); the file-system layer,
// above the frame, registers the hook that owns the folder watchers, hands
// the paths of those holding notices to the file system and clears them.
class IxFileChangeHook {
public:
    virtual ~IxFileChangeHook() = default;
    virtual void Refresh() = 0;
};
class IxKernelFrame;

// The application object that completes the frame (the frame hook).
class IxKernelAppPlayer : public IxElement {
public:
    // Answers the close request 11 with Stop (pop all) and consent.
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    void Draw(IxPaintRecord*) override {}

    virtual void OnFrameStarted() {}
    virtual void OnLayerChanged(int, LPARAM) {}
    virtual int KeyToButton(int buttonKey, BOOL) { return buttonKey; }
    virtual void AfterPaint() {}
    virtual void AfterPaintRelease() {}
    virtual void OnUnhandledKey(int) {}

    IxKernelFrame* GetKernelFrame() const { return m_pFrame; }

private:
    friend class IxKernelFrame;
    IxKernelFrame* m_pFrame = nullptr;
};

// Id of the frame element.
inline constexpr int kIxFrameId = 2;

class IxKernelFrame : public IxWindowView, public IxKernelHost {
public:
    IxKernelFrame(HINSTANCE instance, IxFrameWnd* window, UINT notifyActionId, UINT recallId, UINT fromExternalId);
    ~IxKernelFrame() override;

    // Creates the frame as element 2 over the rectangle, runs the
    // application's creation step (Created) and activates the frame with the
    // view it returned as active page; 0 when there is no kernel.
    BOOL Create(int left, int top, int right, int bottom);
    // The application's creation step: makes the hook (SetHook), loads the
    // fonts and creates the screens. Returns the first view to show or null.
    virtual IxElement* Created() { return nullptr; }
    // Stores the hook (the frame deletes it) and gives it the frame.
    void SetHook(IxKernelAppPlayer* hook);
    IxKernelAppPlayer* GetHook() const { return m_pHook; }
    // Sets the stopped state once: actions other than the system events
    // 21..50 then go to the hook only.
    void Stop(BOOL popAll);

    // Element operations of the frame.
    // Timer event 36 of the frame's own timers; event 17 kills them; other
    // events go to the hook.
    LRESULT OnEvent(int code, LPARAM param) override;
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    void Invalidate(int mode, RECT* rect, IxElement* origin) override;
    // The frame's own background: its colour, then its children.
    void Draw(IxPaintRecord* record) override;
    void SetBackgroundColor(COLORREF color) { m_crBackground = color; }
    IxElement* FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop) override;
    // The kernel services: the requests of every element end here.
    LRESULT Control(int code, LPARAM record, LPARAM value) override;
    LRESULT Service(int code, void* record, LPARAM value) override
    {
        return Control(code, reinterpret_cast<LPARAM>(record), value);
    }
    void SetState(int state, LPARAM param) override;
    int OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin) override;
    using IxElement::GetRect;
    const RECT& GetRect() const { return m_rc; }

    // Busy bracket.
    void BeginBusy();
    void EndBusy();
    int GetBusyDepth() const { return m_nBusy; }
    // tick 0: the message being handled waited longer than the busy limit;
    // else: it was stamped before tick.
    BOOL IsBusy(DWORD tick) const;

    // Dispatch.
    void DispatchEvent(DWORD word, LPARAM value);
    void Deliver(DWORD word, LPARAM value);
    void DispatchPosted(WPARAM word, LPARAM value);
    void DrainEventQueue();
    void FlushAndUpdate();
    void Notify(int id, int kind, LPARAM value);
    // Device notices delivered at once: ids 32 (device), 33 (alias) and 34
    // (check: 4096 poll now, 4128 attach check).
    void NotifyDevice(int kind, int device);
    void NotifyDeviceAlias(int kind, int alias);
    void NotifyDeviceCheck(int kind, int device);
    // Delivers {id, kind 0x1027} inside a bracket with a pointer to {a, b, c};
    // ForwardBroadcast does it with id 74 for a registered broadcast message.
    void DeliverWithArgs(int id, LPARAM a, LPARAM b, LPARAM c);
    void ForwardBroadcast(LPARAM a, LPARAM b, LPARAM c);
    void PostAction(int id, int kind, LPARAM value) override;
    // Runs the deferred work of the kernel: invalidate-all notice, queued
    // layer removals, immediate window update.
    void FlushDeferredWork() override;

    // The hook that refreshes the file system after file-change notices
    // (action 51); the frame owns it (and, through it, the watchers).
    void SetFileChangeHook(IxFileChangeHook* hook);
    IxFileChangeHook* GetFileChangeHook() const { return m_pFileChangeHook; }
    void SetFileChangeDelay(int ms) { m_nFileChangeDelay = ms; }
    // Runs the file-change hook unless the frame is stopped.
    void RefreshFileChanges();

    // Timers.
    void SyncTimers();
    void OnTimer(UINT_PTR id);

    // Layers.
    BOOL PushLayer(IxElement* view, IxElement* owner, int priority);
    BOOL PushTopLayer(IxElement* view, int n);
    void PopLayer(int viewId);
    void PopAllLayers();
    void RemoveLayerAt(int index);
    // Removes every layer that the element owns, top down.
    void RemoveLayersOwnedBy(IxElement* owner);
    IxElement* IsLayerShown(int viewId) const;
    // Service 53: centres the view and pushes it as the popup layer; 0 while
    // a popup is up.
    BOOL ShowPopup(IxElement* view, IxElement* owner);
    // Service 3: the child windows of the visible top layers go topmost,
    // lowest priority first.
    void RestackTopLayers();
    // Drops the layers of a view that is being deleted and of the views owned
    // by an element that is being deleted (those views belong to the owner).
    void ForgetElement(IxElement* element) override;
    const IxArray<IxLayerEntry>& Layers() const { return m_layers.Entries(); }
    DWORD GetState() const { return m_dwState | m_gesture.GetState(); }

    // Focus (service 26): the old element gets event 11, the new one 10.
    using IxElement::SetFocus;
    void SetFocus(IxElement* element);

    IxKernel* GetKernel() const { return m_pKernel; }
    IxRing& GetQueue() { return m_queue; }
    IxArray<IxTimerEntry>& GetTimers() { return m_timers; }
    const IxArray<IxRingEntry>& GetDeferred() const { return m_deferred; }
    HWND GetWindowHandle() const { return m_pWindow ? m_pWindow->GetHandle() : nullptr; }
    // The frame's window is the window its elements are drawn in.
    HWND GetChildWindow() const override { return GetWindowHandle(); }
    void SetBusyLimit(DWORD ms) { m_dwBusyLimit = ms; }
    void SetRepaintNotice(BOOL on) { m_bRepaintNotice = on; }
    // Paint lock (service 36): while on, every paint only validates.
    void SetPaintLock(BOOL on);
    BOOL IsPainting() const { return m_invalid.IsPainting(); }
    IxFontTable& GetFontTable() { return m_fonts; }
    IxImagePreloader& GetPreloader() { return m_preloader; }
    // Hands the rectangle collected outside paint to the window.
    void FlushPendingInvalidation();

    // Runs the window's messages until ended by EndModalLoop or WM_QUIT (which
    // is posted again); the result given to EndModalLoop, -1 for WM_QUIT.
    int RunModalLoop();
    // Service 38: ends the running modal loop with result.
    void EndModalLoop(int result);
    BOOL IsModalRunning() const { return m_modal.IsRunning(); }

    // Entry points of the frame window.
    void OnPaint(HDC dc, const RECT* rect, BOOL partial, BOOL skipLayout);
    void OnRecall(WPARAM elementId, LPARAM code);
    void DoMouseMove(WPARAM keys, int x, int y, BOOL* startedDrag);
    void DoLButtonDblClk(WPARAM keys, int x, int y);
    void DoLButtonDown(WPARAM keys, int x, int y);
    void DoLButtonUp(WPARAM keys, int x, int y);
    void OnKeyDown(UINT key);
    void OnKeyUp(UINT key);
    void OnKeyRelease(UINT key);
    void OnChar(WCHAR ch);
    void OnTextInput(const IxTextInput* input);
    // Recreates and shows (on) or destroys the caret of the stored rectangle.
    void ShowCaret(BOOL on);
    // Applies the caret request of the kernel (frame coordinates).
    void ApplyCaretRequest();
    const IxCaretRect& GetCaret() const { return m_caret.Get(); }
    // Last pointer position in frame coordinates (whether it moved since the
    // last press is service IXSVC_MOVED).
    POINT GetPointerPos() const { return m_gesture.GetPointerPos(); }
    void OnCaptureLost();

    // Pointer hit test over the layers (see Input.cpp); a touch outside an
    // ordinary layer of non-negative priority removes that layer.
    IxElement* FindTarget(int inputCode, POINT point) override;
    // A hardware key: posts {command, 4096 press / 4097 release} and shows the
    // on-screen button of buttonKey pressed or released.
    void NotifyExtKey(int command, int buttonKey, BOOL press, DWORD flags);
    IxGestureConstants& GestureConstants() { return m_gesture.GestureConstants(); }
    int GetGestureMode() const { return m_gesture.GetGestureMode(); }
    IxElement* GetGestureElement() const { return m_gesture.GetGestureElement(); }
    // The element's scroll record, or null (valid until the next input).
    const IxScrollRecord* ScrollRecordOf(const IxElement* element) const { return m_gesture.ScrollRecordOf(element); }
    // The held hardware key's command, 0 when none.
    int GetHeldKey() const { return m_keys.GetHeldKey(); }
    // ms after which a held key is released when its release never came; 0
    // (the default) waits for the release.
    void SetHeldKeyTimeout(int ms) { m_keys.SetHeldKeyTimeout(ms); }
    void OnCommand(HWND control, UINT value);
    void OnCopyData(WPARAM wParam, LPARAM lParam);
    LRESULT OnNotify(NMHDR* header);

    IxFrameWnd* GetFrameWindow() const { return m_pWindow; }
    UINT NotifyActionId() const { return m_uNotifyAction; }
    UINT RecallId() const { return m_uRecall; }
    UINT FromExternalId() const { return m_uFromExternal; }

private:
    friend class IxGestureEngine;
    friend class IxKeyRouter;

    void CarryOutWindowRequest();
    // WM_COMMAND and WM_NOTIFY: {sender's id, code} at once when idle, else
    // posted.
    void OnControlNotice(HWND sender, int code);
    LRESULT PushFromRecord(LPARAM record, int priority);
    void RemoveModalLayer();
    IxDC* OpenWindowDC(LPARAM size);
    void UpdateStateBitsOnRemoval(int priority);
    void FinishPaint();

    // Pointer input (Input.cpp): the hit test, and the hook's share.
    IxElement* TargetAt(int inputCode, POINT point, BOOL closeOutside);
    BOOL PointerToHook(int code, POINT point, BOOL heldKeyToo);
    BOOL InVisibleTopLayer(POINT point) const;
    IxElement* DragView() const;

    HINSTANCE m_hInstance;
    IxFrameWnd* m_pWindow;
    UINT m_uNotifyAction;
    UINT m_uRecall;
    UINT m_uFromExternal;
    IxKernel* m_pKernel = nullptr;

    IxKernelAppPlayer* m_pHook = nullptr;
    DWORD m_dwState = 0;
    BOOL m_bInPressHandler = FALSE;
    BOOL m_bPointerUnblocked = TRUE;
    BOOL m_bRepaintNotice = FALSE;
    IxInvalidation m_invalid;
    COLORREF m_crBackground = 0;
    IxFontTable m_fonts;
    IxImagePreloader m_preloader;

    IxLayerStack m_layers;
    int m_nBusy = 0;
    IxModalLoop m_modal;
    IxRing m_queue{8};
    IxArray<IxRingEntry> m_deferred{8};
    IxArray<IxTimerEntry> m_timers{8};

    HWND m_hCaptureWnd = nullptr; // child window of the top layer hit last
    IxGestureEngine m_gesture{*this};
    IxKeyRouter m_keys{*this};
    DWORD m_dwBusyLimit = 0x7fffffff;
    IxFrameCaret m_caret;
    IxFileChangeHook* m_pFileChangeHook = nullptr;
    int m_nFileChangeDelay = 500;
};

// Holds one level of the frame's busy bracket for a scope.
class IxBusyScope {
public:
    explicit IxBusyScope(IxKernelFrame* frame) : m_frame(frame) { m_frame->BeginBusy(); }
    ~IxBusyScope() { m_frame->EndBusy(); }
    IxBusyScope(const IxBusyScope&) = delete;
    IxBusyScope& operator=(const IxBusyScope&) = delete;

private:
    IxKernelFrame* m_frame;
};
