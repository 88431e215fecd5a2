// Window objects and their message maps.
//
// A framework window binds a program object to a window handle: window word
// 0 holds the object from WM_CREATE to WM_DESTROY, and IxWndProc hands every
// message to the object's message map. A map is a table of {message,
// signature kind, handler} chained to the map of the base class; the first
// entry for a message wins, so a derived class hides the base's entry (a
// derived handler that wants the base behaviour calls the base handler).
//
// Maps are built the first time they are used, after the registered
// messages exist, so entries may name registered message ids.
#pragma once

#include "platform/base/Types.h"
#include "platform/ui/Window.h"

class IxWindow;

// The framework's registered messages, registered before the program's entry
// in this order: "I_NotifyAction_", "I_Recall_", "I_FromExternal_".
extern const UINT g_uIxNotifyAction;
extern const UINT g_uIxRecall;
extern const UINT g_uIxFromExternal;

// Soft-key input handed to the focused text element.
struct IxTextInput {
    enum Kind : int {
        None = 0,
        Plain = 1,            // plain text
        Insert = 2,           // insert
        ReplaceComposing = 3, // replace the composing character
        CommitComposing = 4,  // replace the composing character by a committed one
        RemoveComposing = 5,  // remove the composing character
        Command = 6,          // a command of the soft keyboard (length: the command)
    };
    int kind;
    const WCHAR* text;
    int length;
    int replace; // 1: the text replaces the character before the caret
};

// Handler signatures by kind. Kinds 4 and 10, and 5 and 6, share a shape.
using IxPfnWL = LRESULT (IxWindow::*)(WPARAM, LPARAM);              // 1: plain and registered messages
using IxPfnNotify = LRESULT (IxWindow::*)(NMHDR*, INT_PTR);         // 2: WM_NOTIFY
using IxPfnCreate = LRESULT (IxWindow::*)(CREATESTRUCTW*, INT_PTR); // 3: WM_CREATE (-1 fails creation)
using IxPfnWA = void (IxWindow::*)(WPARAM, INT_PTR);                // 4: WM_TIMER, 10: focus
using IxPfnWXY = void (IxWindow::*)(WPARAM, int, int);              // 5: WM_SIZE, 6: mouse (signed x, y)
using IxPfnKey = void (IxWindow::*)(WPARAM, UINT, UINT);            // 7: keys and characters
using IxPfnCommand = void (IxWindow::*)(UINT, LPARAM, UINT);        // 8: command form (id, control, code)
using IxPfnAA = void (IxWindow::*)(INT_PTR, INT_PTR);               // 9: WM_DESTROY (fixed arguments only)

enum IxSignature : int {
    IxSig_End = 0,
    IxSig_WL = 1,
    IxSig_Notify = 2,
    IxSig_Create = 3,
    IxSig_Timer = 4,
    IxSig_Size = 5,
    IxSig_Mouse = 6,
    IxSig_Key = 7,
    IxSig_Command = 8,
    IxSig_Fixed = 9,
    IxSig_Focus = 10,
};

// The handler of an entry; the entry's kind says which member is set.
union IxHandler {
    IxPfnWL wl;
    IxPfnNotify notify;
    IxPfnCreate create;
    IxPfnWA wa;
    IxPfnWXY wxy;
    IxPfnKey key;
    IxPfnCommand command;
    IxPfnAA aa;
};

template <int Kind> struct IxSigType;
#define IX_SIG_TYPE(kind, pfn, member)                                                                                 \
    template <> struct IxSigType<kind> {                                                                               \
        using type = pfn;                                                                                              \
        static void Set(IxHandler& h, pfn f) { h.member = f; }                                                         \
    };
IX_SIG_TYPE(IxSig_WL, IxPfnWL, wl)
IX_SIG_TYPE(IxSig_Notify, IxPfnNotify, notify)
IX_SIG_TYPE(IxSig_Create, IxPfnCreate, create)
IX_SIG_TYPE(IxSig_Timer, IxPfnWA, wa)
IX_SIG_TYPE(IxSig_Size, IxPfnWXY, wxy)
IX_SIG_TYPE(IxSig_Mouse, IxPfnWXY, wxy)
IX_SIG_TYPE(IxSig_Key, IxPfnKey, key)
IX_SIG_TYPE(IxSig_Command, IxPfnCommand, command)
IX_SIG_TYPE(IxSig_Fixed, IxPfnAA, aa)
IX_SIG_TYPE(IxSig_Focus, IxPfnWA, wa)
#undef IX_SIG_TYPE

struct IxMessageMapEntry {
    UINT message;
    int kind; // IxSignature; 0 ends the table
    IxHandler handler;
    INT_PTR arg1; // fixed arguments handed to some kinds
    INT_PTR arg2;
};

struct IxMessageMap {
    const IxMessageMap* base; // null for the root
    const IxMessageMapEntry* entries;
};

// An entry whose handler is checked against the kind's signature; a handler
// of a derived class converts to the base class's member type.
template <int Kind, class F> IxMessageMapEntry IxMapEntry(UINT message, F handler, INT_PTR arg1 = 0, INT_PTR arg2 = 0)
{
    using Sig = IxSigType<Kind>;
    IxMessageMapEntry entry{message, Kind, {}, arg1, arg2};
    Sig::Set(entry.handler, static_cast<typename Sig::type>(handler));
    return entry;
}

inline constexpr IxMessageMapEntry IxMapEnd{0, IxSig_End, {}, 0, -1};

#define IX_DECLARE_MESSAGE_MAP()                                                                                       \
public:                                                                                                                \
    static const IxMessageMap* ThisMessageMap();                                                                       \
    const IxMessageMap* GetMessageMap() const override;

#define IX_BEGIN_MESSAGE_MAP(cls, baseCls)                                                                             \
    const IxMessageMap* cls::GetMessageMap() const                                                                     \
    {                                                                                                                  \
        return ThisMessageMap();                                                                                       \
    }                                                                                                                  \
    const IxMessageMap* cls::ThisMessageMap()                                                                          \
    {                                                                                                                  \
        using ThisClass [[maybe_unused]] = cls;                                                                        \
        using BaseClass = baseCls;                                                                                     \
        static const IxMessageMapEntry entries[] = {
#define IX_ON_MESSAGE(message, kind, handler) IxMapEntry<kind>(message, &ThisClass::handler),
#define IX_END_MESSAGE_MAP()                                                                                           \
    IxMapEnd                                                                                                           \
    }                                                                                                                  \
    ;                                                                                                                  \
    static const IxMessageMap map{BaseClass::ThisMessageMap(), entries};                                               \
    return &map;                                                                                                       \
    }

class IxWindow {
public:
    IxWindow();
    virtual ~IxWindow();
    IxWindow(const IxWindow&) = delete;
    IxWindow& operator=(const IxWindow&) = delete;

    static const IxMessageMap* ThisMessageMap();
    virtual const IxMessageMap* GetMessageMap() const;
    virtual void Paint(int mode, HDC dc, const RECT* rect);
    virtual void Detach();
    virtual void OnExternalNotice(WPARAM wParam, LPARAM lParam);
    virtual BOOL InvokeSoftKey(WCHAR ch, IxTextInput* first, IxTextInput* second);

    // CreateWindowExW with this object as the creation parameter. Returns 1
    // when the window exists; otherwise records {101, system error}.
    BOOL Create(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width, int height,
                HWND parent, HINSTANCE instance);
    // The application's main window is destroyed when the handler that asks
    // for it has returned; any other window is detached and destroyed now.
    BOOL Destroy();
    // Deletes the object now, or, while one of its handlers runs, once the
    // outermost one has returned (a window destroyed from inside its own
    // handler).
    void DeleteWhenIdle();
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    bool DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    HWND GetHandle() const { return m_hWnd; }
    bool IsClosing() const { return m_bClosing != 0; }

protected:
    void OnDestroy(INT_PTR, INT_PTR);

    HWND m_hWnd = nullptr;
    BOOL m_bClosing = FALSE;

private:
    friend LRESULT IxWndProc(HWND, UINT, WPARAM, LPARAM);
    // How many dispatches of this object are on the stack. Deferred destroys
    // and the deletion of the main window's object wait until the outermost
    // one has returned, so that no handler runs on a deleted object.
    int m_nDispatchDepth = 0;
    bool m_bDeletePending = false;
};

// The window procedure of every framework window class.
LRESULT IxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
