// The window manager's state, shared by the sources of platform/ui: the
// window table (WindowTable.cpp), windows and classes (Window.cpp), the
// z-order (ZOrder.cpp), message queues and retrieval (MessageQueue.cpp),
// messages sent across threads (SendMessage.cpp), paint requests
// (Paint.cpp), timers (Timer.cpp), carets (Caret.cpp), input (Input.cpp)
// and the windows of another process (RemoteWindow.cpp).
//
// Lock order: a queue's lock may be held while taking the window lock, never
// the reverse; window procedures run with neither held. Functions named
// ...Locked expect the caller to hold Sys().lock.
#pragma once

#include "platform/base/Rect.h"
#include "platform/base/Types.h"
#include "platform/ui/Window.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace platform::wm {

inline constexpr std::uintptr_t kRemoteBit = std::uintptr_t{1} << 56;
inline constexpr std::uintptr_t kFlagBits = 0xF; // low bits of a handle carry request flags
inline constexpr UINT kFirstRegisteredMessage = 0xC000;

struct MessageQueue;

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT interval;
    TIMERPROC proc;
    std::uint64_t due;
};

// A message sent from another thread, waiting to be handled by the queue's
// thread; the sender waits on its own queue until it is done.
struct SentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    // WM_COPYDATA travels as a copy, as between processes: the receiver
    // reads it even after a sender whose time-out ran out has gone on.
    COPYDATASTRUCT copy{};
    std::vector<std::uint8_t> copyBytes;
    LRESULT result = 0;
    bool handled = false; // the receiver ran it (else it was abandoned)
    bool done = false;
    std::shared_ptr<MessageQueue> sender;
};

// How a send to another thread ended.
enum class SendOutcome { Answered, TimedOut, Dropped };

struct MessageQueue {
    DWORD threadId = 0;
    std::mutex lock;
    std::condition_variable_any changed;
    std::uint64_t changes = 0; // bumped on every arrival, so waiters re-check
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool quit = false;
    int quitCode = 0;
    std::vector<HWND> paint; // visible windows with an update rectangle
    std::vector<Timer> timers;
    UINT_PTR nextThreadTimer = 1;
    bool alive = true;

    void Touch()
    {
        ++changes;
        changed.notify_all();
    }
};

struct WindowClass {
    std::u16string name;
    WNDPROC proc;
    UINT style;
    int wndExtra;
    HINSTANCE instance;
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::u16string title;
    HWND parent = nullptr;
    std::vector<HWND> children; // front first
    RECT rect{};                // in the parent's client coordinates (screen for top-level)
    std::vector<LONG_PTR> words;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    std::shared_ptr<MessageQueue> queue;
    bool hasUpdate = false;
    RECT update{};
    bool destroying = false;
    unsigned paintsBegun = 0;
};

// A thread's caret. hidden counts the HideCaret calls not yet matched by a
// ShowCaret; it shows at 0.
struct Caret {
    DWORD thread = 0;
    HWND hwnd = nullptr;
    int width = 1;
    int height = 1;
    POINT position{0, 0}; // client coordinates of hwnd
    int hidden = 1;
};

struct Slot {
    std::uint32_t generation = 1;
    std::unique_ptr<Window> window;
};

// Process-wide pointer and key state.
struct InputState {
    HWND capture = nullptr;
    bool pressed = false;       // between a pointer press and its release
    HWND pressWindow = nullptr; // the window the press went to
    std::vector<UINT> keysDown; // for the previous-state bit of key messages
};

struct WindowSystem {
    std::recursive_mutex lock;
    std::vector<Slot> slots = std::vector<Slot>(1); // slot 0 is never used
    std::vector<std::uint32_t> freeSlots;
    std::vector<std::shared_ptr<WindowClass>> classes;
    std::vector<HWND> topLevel; // z-order, front first
    HWND foreground = nullptr;
    std::map<std::u16string, UINT> registeredIds;
    std::vector<std::u16string> registeredNames;
    InputState input;
    std::mutex queuesLock;
    std::map<DWORD, std::weak_ptr<MessageQueue>> queues;
    std::vector<Caret> carets; // at most one per thread
    bool caretsShown = false;  // the screen was last handed caret rectangles
    // Held from working out the carets' screen rectangles until the screen
    // has them, so that they arrive in the order they were worked out.
    // Taken before the window lock, never while holding it.
    std::mutex caretScreenLock;
};

// The window manager's state, made on first use so that windows and
// registered messages can be used from static initialisers of other files;
// never destroyed, since threads may still post while the process exits.
WindowSystem& Sys();

// ---- the window table (WindowTable.cpp) ----

// Handles: ((generation << 24) | slot) << 4; the low four bits stay free.
HWND MakeHandle(std::uint32_t slot, std::uint32_t generation);
std::uintptr_t HandleValue(HWND hwnd);
bool IsRemote(HWND hwnd);
// The live window behind a handle, or null. Caller holds Sys().lock.
Window* Find(HWND hwnd);
// As Find, setting ERROR_INVALID_WINDOW_HANDLE when there is none.
Window* FindOrFail(HWND hwnd);
// The calling thread's queue, made on first use; it goes when the thread
// ends, answering the senders still waiting on it.
std::shared_ptr<MessageQueue> CurrentQueue();
// Whether q is the calling thread's queue (without making one).
bool IsCurrentQueue(const std::shared_ptr<MessageQueue>& q);
// The queue of the window's thread, or null for a handle that is not a window.
std::shared_ptr<MessageQueue> QueueOf(HWND hwnd);
// A child is visible when it and all its parents are; an owned top-level
// window does not depend on its owner.
bool VisibleLocked(const Window* w);
RECT ClientOf(const Window* w);
// Screen position of the window's client origin. Caller holds Sys().lock.
POINT ClientOrigin(const Window* w);
// Where the window shows, in screen coordinates: see WindowScreenArea.
// Caller holds Sys().lock.
std::vector<RECT> ScreenAreaLocked(const Window* w);
// Calls the window's procedure (DefWindowProcW without one); 0 for a
// handle that is not a window. Takes no lock while the procedure runs.
LRESULT CallProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Takes the window out of the tables and frees its slot, so that its handle
// is stale from now on; its paint request, timers and caret are dropped.
// Messages already posted to it stay queued: dispatching them finds a stale
// handle and does nothing.
void RemoveWindow(HWND hwnd);

// ---- the z-order (ZOrder.cpp) ----

// Puts w at the front of its band of the top-level windows (the topmost
// ones, or the others), or at the very back. Caller holds Sys().lock.
void InsertTopLevelLocked(Window* w, bool front);
// The window's rectangle in screen coordinates. Caller holds Sys().lock.
RECT ScreenRectLocked(const Window* w);
// What shows of the visible windows (and their shown descendants) inside
// the screen rectangle, in each one's client coordinates: what must be
// painted again when a window that covered it goes away, hides or moves.
// Caller holds Sys().lock.
std::vector<std::pair<HWND, RECT>> ExposedLocked(const RECT& screen);

// ---- messages (MessageQueue.cpp, SendMessage.cpp) ----

void PostTo(const std::shared_ptr<MessageQueue>& q, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Runs the messages other threads sent to this thread's windows.
void HandleSentMessages(MessageQueue& q);
// Sends to a window of another thread and waits, handling messages sent to
// this thread meanwhile, until the answer comes or the platform clock
// reaches deadlineMs (UINT64_MAX: no limit). A message not yet taken when
// the time is up is withdrawn; one being handled finishes on its own and
// its answer is dropped.
LRESULT SendAcross(const std::shared_ptr<MessageQueue>& target, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                   std::uint64_t deadlineMs = UINT64_MAX, SendOutcome* outcome = nullptr);
// Answers the senders still waiting on a queue whose thread ends: they get 0.
void AbandonSentMessages(MessageQueue& q);

// ---- paint requests (Paint.cpp) ----

// Marks the whole client area (or rect) for painting and queues WM_PAINT
// when the window is visible; false for a handle that is not a window.
bool Invalidate(HWND hwnd, const RECT* rect);
// Drops the window's update rectangle and its paint request.
void ClearUpdate(HWND hwnd);
// Drops the window's paint request, keeping its update rectangle.
void RemovePaint(const std::shared_ptr<MessageQueue>& q, HWND hwnd);

// ---- timers (Timer.cpp) ----

// The procedure of the live timer a WM_TIMER names (the window's timer, or
// a thread timer of the calling thread), or null.
TIMERPROC LiveTimerProc(HWND hwnd, UINT_PTR id, LPARAM proc);

// ---- carets (Caret.cpp) ----

// Hands the screen the rectangles of the carets that show: each clipped to
// the parts of its window that show. Called after anything that may change
// them, never while holding Sys().lock.
void ShowCaretsOnScreen();
// Drops the thread's caret, if it has one.
void DropThreadCaret(DWORD thread);

// ---- the windows of another process (RemoteWindow.cpp) ----

HWND MakeRemote(std::uintptr_t value);
// The remote window's handle in its own process, as a word of a request.
std::string RemoteId(HWND hwnd);
// Sends a request to the process that owns the unit; false when this
// process owns it or there is no answer.
bool Remote(const std::vector<std::string>& words, std::string* reply);
// A text that may be null, as a request word ("=" + the text, or empty).
std::string OptionalWord(LPCWSTR text);

} // namespace platform::wm
