// Windows, window classes, message queues, timers and paint requests.
//
// Every thread that creates a window or asks for a message has its own
// queue. Retrieval follows the unit's order: messages sent from other
// threads are handled first, then posted messages in the order they were
// posted, then WM_QUIT, then WM_PAINT for windows that need painting, then
// WM_TIMER for due timers. WM_PAINT and WM_TIMER are made at retrieval, so
// they never overtake a posted message. Posted messages carry the tick at
// which they were posted as their time stamp.
//
// Window handles encode a table slot and a generation; a destroyed window's
// handle is recognised as stale. A handle found through the unit's control
// socket (FindWindowW of a window in the process that owns the unit) is a
// remote handle: PostMessageW, IsWindow and SetForegroundWindow reach that
// process's window.
#pragma once

#include "platform/base/Types.h"

#include <cstddef>
#include <string>
#include <vector>

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

// Messages.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_ENABLE = 0x000A;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_CANCELMODE = 0x001F;
inline constexpr UINT WM_COPYDATA = 0x004A;
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_CAPTURECHANGED = 0x0215;
inline constexpr UINT WM_DEVICECHANGE = 0x0219;
inline constexpr UINT WM_IME_KEYDOWN = 0x0290;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

// Window styles.
inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;
// A top-level window that a click does not activate (it never becomes the
// foreground window).
inline constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;
inline constexpr UINT CS_DBLCLKS = 0x0008;
inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;

// Window word indices other than the extra words.
inline constexpr int GWL_WNDPROC = -4;
inline constexpr int GWL_ID = -12;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWL_USERDATA = -21;

// PeekMessageW flags.
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;
inline constexpr UINT PM_NOYIELD = 0x0002;

inline const HWND HWND_BROADCAST = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0xFFFF));

// SetWindowPos: where the window goes in the z-order, and what to change.
inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(static_cast<std::intptr_t>(1));
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-2));
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline constexpr UINT SWP_NOOWNERZORDER = 0x0200; // owned windows keep their place (there is no owner band)

// WM_ACTIVATE: the low half of wParam says how the window was activated
// (or that it lost the activation); lParam is the other window.
inline constexpr WORD WA_INACTIVE = 0;
inline constexpr WORD WA_ACTIVE = 1;
inline constexpr WORD WA_CLICKACTIVE = 2;

// ScrollWindowEx flags.
inline constexpr UINT SW_INVALIDATE = 0x0002;

// Device-change broadcasts.
inline constexpr WPARAM DBT_DEVICEARRIVAL = 0x8000;
inline constexpr WPARAM DBT_DEVICEREMOVECOMPLETE = 0x8004;
inline constexpr DWORD DBT_DEVTYP_OEM = 0;
inline constexpr DWORD DBT_DEVTYP_VOLUME = 2;
inline constexpr DWORD DBT_DEVTYP_PORT = 3;
inline constexpr DWORD DBT_DEVTYP_DEVICEINTERFACE = 5;

struct DEV_BROADCAST_HDR {
    DWORD dbch_size;
    DWORD dbch_devicetype;
    DWORD dbch_reserved;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
};

struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

struct COPYDATASTRUCT {
    ULONG_PTR dwData;
    DWORD cbData;
    LPVOID lpData;
};

struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};

// The program's instance handle (any module name gives the same one).
HINSTANCE GetModuleHandleW(LPCWSTR moduleName);

// Classes.
ATOM RegisterClassW(const WNDCLASSW* wc);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);

// Windows.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width, int height,
                     HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int command);
BOOL UpdateWindow(HWND hwnd);
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
HWND GetParent(HWND hwnd);
// Z-order, position, size and visibility in one call. insertAfter is
// HWND_TOP, HWND_BOTTOM, HWND_TOPMOST, HWND_NOTOPMOST or the window to go
// behind. Top-level windows: topmost ones (WS_EX_TOPMOST) always stay in
// front of the others; HWND_TOPMOST makes the window topmost, HWND_NOTOPMOST
// and HWND_BOTTOM (and going behind a window that is not topmost) end it.
// Child windows move among their siblings (HWND_TOPMOST counts as HWND_TOP,
// HWND_NOTOPMOST leaves the order). Moving and sizing go as MoveWindow with
// repaint; SWP_SHOWWINDOW and SWP_HIDEWINDOW as ShowWindow. Unless
// SWP_NOACTIVATE is given, a visible top-level window becomes the foreground
// window. The parts of windows that a z-order change brings forward are
// invalidated.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
// Window words are pointer-sized on this build; extra word n is at index 4 * n.
LONG_PTR GetWindowLongW(HWND hwnd, int index);
LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value);
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int capacity);
// The name of the window's class, cut to capacity - 1 characters; 0 when
// the handle is not a window.
int GetClassNameW(HWND hwnd, LPWSTR buffer, int capacity);
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);
LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Searches the top-level windows, front to back; a null class or title
// matches any. Both compare without regard to case.
HWND FindWindowW(LPCWSTR className, LPCWSTR title);
// The lowest bit of the handle may be set (the form that also brings the
// window's owned windows forward). The window goes to the front of its band
// (see SetWindowPos); the parts of it that come forward are invalidated.
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();

// Messages.
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// SendMessageW that waits at most timeoutMs (on the platform's clock) for a
// window of another thread: FALSE with ERROR_TIMEOUT when the time ran out
// (a message not yet taken is withdrawn, one being handled is let finish),
// with ERROR_INVALID_WINDOW_HANDLE when the window or its thread went. The
// sender keeps answering the messages sent to it while it waits, whatever
// the flags (SMTO_NORMAL, SMTO_BLOCK, SMTO_ABORTIFHUNG). WM_COPYDATA's data
// is copied, so the receiver may still read it after the sender gave up.
inline constexpr UINT SMTO_NORMAL = 0x0000;
inline constexpr UINT SMTO_BLOCK = 0x0001;
inline constexpr UINT SMTO_ABORTIFHUNG = 0x0002;
BOOL SendMessageTimeoutW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs,
                         DWORD_PTR* result);
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Time stamp of the message last retrieved on this thread.
LONG GetMessageTime();
// Registered messages take ids from 0xC000; the same name (any case) gives
// the same id.
UINT RegisterWindowMessageW(LPCWSTR name);

// Timers are periodic; setting an existing (window, id) pair replaces it.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Paint requests. A window needs painting while it has an update rectangle
// and is visible.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);

// Moves the pixels of the scroll rectangle (client coordinates; null: the
// whole client area) by (dx, dy) on the screen, writing only inside the clip
// rectangle (null: the client area) and the parts of the window that show.
// What the move leaves without valid pixels (the strip it uncovers, and what
// would have come from parts that do not show), within the scroll and clip
// rectangles and the parts that show, is the update area: its
// bounding rectangle goes to update, its rectangles to updateRegion, and
// with SW_INVALIDATE it is invalidated. Returns the region type of the
// update area (NULLREGION, SIMPLEREGION, COMPLEXREGION) or ERROR. Flags
// other than SW_INVALIDATE are refused.
struct HRGN__;
using HRGN = HRGN__*;
int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN updateRegion, RECT* update,
                   UINT flags);

// The caret: one per thread, owned by a window of that thread. It shows as
// a solid block inverted over the screen's pixels at its position (client
// coordinates of its window), within the parts of the window that show,
// while its window is visible and it is not hidden. CreateCaret replaces the
// thread's caret and starts hidden; every HideCaret needs a ShowCaret before
// it shows again (ShowCaret on a shown caret changes nothing). Show and hide
// take the caret's window or null. Destroying the window destroys its caret,
// and a thread's caret goes when the thread ends. The shape is always solid:
// a bitmap shape is refused; a width or height of 0 is one pixel.
struct HBITMAP__;
using HBITMAP = HBITMAP__*;
BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height);
BOOL DestroyCaret();
BOOL SetCaretPos(int x, int y);
BOOL GetCaretPos(POINT* point);
BOOL ShowCaret(HWND hwnd);
BOOL HideCaret(HWND hwnd);

namespace platform {

// Name of a registered message id, or an empty text.
std::u16string RegisteredMessageName(UINT id);
bool IsRemoteWindow(HWND hwnd);
// Registers the window system's commands on the unit's control socket
// ("find", "iswindow", "post", "foreground"). OpenUnit calls it when this
// process comes to own the unit.
void RegisterWindowControlCommands();
// Number of messages waiting in the calling thread's posted queue.
std::size_t PostedMessageCount();
// The parts of the screen where the window shows, in screen coordinates:
// its rectangle inside its parents', less the visible top-level windows in
// front of its own top-level window. Empty while it is hidden; false for a
// handle that is not a window.
bool WindowScreenArea(HWND hwnd, std::vector<RECT>* area);

} // namespace platform

// Pointer and keyboard input: hit testing, capture, coordinate mapping, and
// the delivery of the touch screen's and the keys' events as messages.

// Virtual-key codes of the keys the desktop keyboard stands in for.
inline constexpr UINT VK_BACK = 0x08;
inline constexpr UINT VK_TAB = 0x09;
inline constexpr UINT VK_RETURN = 0x0D;
inline constexpr UINT VK_SHIFT = 0x10;
inline constexpr UINT VK_ESCAPE = 0x1B;
inline constexpr UINT VK_SPACE = 0x20;
inline constexpr UINT VK_PRIOR = 0x21;
inline constexpr UINT VK_NEXT = 0x22;
inline constexpr UINT VK_END = 0x23;
inline constexpr UINT VK_HOME = 0x24;
inline constexpr UINT VK_LEFT = 0x25;
inline constexpr UINT VK_UP = 0x26;
inline constexpr UINT VK_RIGHT = 0x27;
inline constexpr UINT VK_DOWN = 0x28;
inline constexpr UINT VK_DELETE = 0x2E;
inline constexpr UINT VK_F1 = 0x70;

// The state of a key as the delivered key messages left it: the high bit
// (negative result) while the key is down, else 0.
SHORT GetKeyState(int vk);

// Mouse-message key state.
inline constexpr WPARAM MK_LBUTTON = 0x0001;

// The front-most visible top-level window containing the screen point, then
// its deepest visible, enabled child containing it; null over no window.
HWND WindowFromPoint(POINT point);
// The child of parent (any state) containing the point, given in parent's
// client coordinates; parent itself when no child does; null outside parent.
HWND ChildWindowFromPoint(HWND parent, POINT point);
// Pointer input goes to the capturing window, process-wide. Setting or
// releasing capture sends WM_CAPTURECHANGED to the window that loses it
// (lParam: the new capturing window). SetCapture returns the previous one.
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
// Client areas span the whole window.
BOOL ScreenToClient(HWND hwnd, POINT* point);
BOOL ClientToScreen(HWND hwnd, POINT* point);

namespace platform {

// Kinds of pointer event; the same values as the touch kinds of InputEvent.
inline constexpr int kPointerDown = 0;
inline constexpr int kPointerMove = 1;
inline constexpr int kPointerUp = 2;

// Posts the touch screen's event at screen point (x, y) as a mouse message:
// WM_LBUTTONDOWN, WM_MOUSEMOVE (only while pressed) or WM_LBUTTONUP, with
// client coordinates as signed 16-bit halves of lParam. It goes to the
// capturing window when there is one, else to the window the press went to
// (which keeps the pointer when it leaves, as on a touch screen), else to the
// window under the point. A press on a top-level window that is not the
// foreground window and may be activated (no WS_EX_NOACTIVATE) makes it the
// foreground window, in front of its band: WM_ACTIVATE (WA_INACTIVE) is
// posted to the old foreground window and WM_ACTIVATE (WA_CLICKACTIVE) to
// the new one, before the press. False when no window took it.
bool DeliverPointer(int kind, int x, int y);
// Posts a key's WM_KEYDOWN / WM_KEYUP to the foreground window (else the
// front-most visible top-level window), and after a press WM_CHAR for ch when
// it is a printable character. vk 0 posts the character alone (text typed
// through an input method). False when no window took it.
bool DeliverKey(UINT vk, bool down, WCHAR ch);
// Posts WM_CLOSE to the window keys go to, as the desktop window's close
// button does. False when there is no window.
bool DeliverClose();

} // namespace platform
