#include "Lib_cpp/core/Window.h"
#include "Lib_cpp/core/App.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "platform/base/Debug.h"
#include "platform/ui/Window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// An application object whose main window is made by the test.
class TestApp : public IxApp {
public:
    explicit TestApp(LPCWSTR cls) : IxApp(cls) {}
    HWND InitInstance() override { return make ? make(this) : nullptr; }
    int OnError(const IxLastError& record) override
    {
        error = record;
        return -7;
    }
    HWND (*make)(TestApp*) = nullptr;
    IxLastError error{0, 0};
};

// Registers a framework window class for the test and removes it afterwards.
class ClassScope {
public:
    explicit ClassScope(LPCWSTR name) : m_name(name)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = IxWndProc;
        wc.cbWndExtra = 4;
        wc.lpszClassName = name;
        RegisterClassW(&wc);
    }
    ~ClassScope() { UnregisterClassW(m_name, nullptr); }

private:
    LPCWSTR m_name;
};

std::vector<std::string> g_calls;

class BaseWnd : public IxWindow {
    IX_DECLARE_MESSAGE_MAP()
public:
    LRESULT OnUser(WPARAM, LPARAM)
    {
        g_calls.push_back("base user");
        return 1;
    }
    LRESULT OnUser1(WPARAM, LPARAM)
    {
        g_calls.push_back("base user+1");
        return 2;
    }
};

IX_BEGIN_MESSAGE_MAP(BaseWnd, IxWindow)
IX_ON_MESSAGE(WM_USER, IxSig_WL, OnUser)
IX_ON_MESSAGE(WM_USER + 1, IxSig_WL, OnUser1)
IX_END_MESSAGE_MAP()

// Handles every signature kind and records what arrives.
class KindsWnd : public BaseWnd {
    IX_DECLARE_MESSAGE_MAP()
public:
    LRESULT OnUserDerived(WPARAM, LPARAM)
    {
        g_calls.push_back("derived user");
        return 3;
    }
    LRESULT OnPlain(WPARAM w, LPARAM l)
    {
        g_calls.push_back("1 " + std::to_string(w) + " " + std::to_string(l));
        return 11;
    }
    LRESULT OnNotifyMsg(NMHDR* h, INT_PTR a)
    {
        g_calls.push_back("2 " + std::to_string(h->code) + " " + std::to_string(a));
        return 22;
    }
    void OnTimerMsg(WPARAM id, INT_PTR a) { g_calls.push_back("4 " + std::to_string(id) + " " + std::to_string(a)); }
    void OnSizeMsg(WPARAM w, int x, int y)
    {
        g_calls.push_back("5 " + std::to_string(w) + " " + std::to_string(x) + " " + std::to_string(y));
    }
    void OnMouse(WPARAM w, int x, int y)
    {
        g_calls.push_back("6 " + std::to_string(w) + " " + std::to_string(x) + " " + std::to_string(y));
    }
    void OnKey(WPARAM w, UINT lo, UINT hi)
    {
        g_calls.push_back("7 " + std::to_string(w) + " " + std::to_string(lo) + " " + std::to_string(hi));
    }
    void OnCmd(UINT id, LPARAM ctl, UINT code)
    {
        g_calls.push_back("8 " + std::to_string(id) + " " + std::to_string(ctl) + " " + std::to_string(code));
    }
    void OnFixed(INT_PTR second, INT_PTR first)
    {
        g_calls.push_back("9 " + std::to_string(second) + " " + std::to_string(first));
    }
    void OnFocus(WPARAM w, INT_PTR a) { g_calls.push_back("10 " + std::to_string(w) + " " + std::to_string(a)); }
};

constexpr UINT kMsgNotify = WM_USER + 10;
constexpr UINT kMsgCommand = WM_USER + 11;
constexpr UINT kMsgFixed = WM_USER + 12;

IX_BEGIN_MESSAGE_MAP(KindsWnd, BaseWnd)
IX_ON_MESSAGE(WM_USER, IxSig_WL, OnUserDerived)
IX_ON_MESSAGE(WM_APP, IxSig_WL, OnPlain)
IX_ON_MESSAGE(kMsgNotify, IxSig_Notify, OnNotifyMsg)
IX_ON_MESSAGE(WM_TIMER, IxSig_Timer, OnTimerMsg)
IX_ON_MESSAGE(WM_SIZE, IxSig_Size, OnSizeMsg)
IX_ON_MESSAGE(WM_MOUSEMOVE, IxSig_Mouse, OnMouse)
IX_ON_MESSAGE(WM_KEYDOWN, IxSig_Key, OnKey)
IX_ON_MESSAGE(kMsgCommand, IxSig_Command, OnCmd)
IX_ON_MESSAGE(kMsgFixed, IxSig_Fixed, OnFixed)
IX_ON_MESSAGE(WM_SETFOCUS, IxSig_Focus, OnFocus)
IX_END_MESSAGE_MAP()

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

class MessageMapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        ASSERT_TRUE(window.Create(0, u"MapTestClass", u"maps", 0, 0, 0, 100, 100, nullptr, nullptr));
    }
    void TearDown() override
    {
        window.Destroy();
        Pump();
    }
    ClassScope cls{u"MapTestClass"};
    KindsWnd window;
};

TEST_F(MessageMapTest, DerivedEntryHidesTheBaseEntryAndUnhandledGoesUpTheChain)
{
    EXPECT_EQ(SendMessageW(window.GetHandle(), WM_USER, 0, 0), 3);
    EXPECT_EQ(SendMessageW(window.GetHandle(), WM_USER + 1, 0, 0), 2);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"derived user", "base user+1"}));
    // A message no map knows goes to the default procedure.
    EXPECT_EQ(SendMessageW(window.GetHandle(), WM_USER + 99, 0, 0), 0);
}

TEST_F(MessageMapTest, EachSignatureKindUnpacksItsParameters)
{
    HWND h = window.GetHandle();
    NMHDR header{nullptr, 0, 77};
    struct Case {
        UINT message;
        WPARAM w;
        LPARAM l;
        LRESULT result;
        std::string call;
    } cases[] = {
        {WM_APP, 5, -6, 11, "1 5 -6"},
        {kMsgNotify, 0, reinterpret_cast<LPARAM>(&header), 22, "2 77 0"},
        {WM_TIMER, 42, 0, 0, "4 42 0"},
        // Coordinates are signed 16-bit halves: left of and above the window
        // they arrive negative.
        {WM_SIZE, 0, MAKELPARAM(800, 480), 0, "5 0 800 480"},
        {WM_MOUSEMOVE, 1, MAKELPARAM(static_cast<WORD>(-5), static_cast<WORD>(-12)), 0, "6 1 -5 -12"},
        {WM_KEYDOWN, 0x25, MAKELPARAM(3, 0xC000), 0, "7 37 3 49152"},
        {kMsgCommand, MAKEWPARAM(1001, 7), 99, 0, "8 1001 99 7"},
        {kMsgFixed, 123, 456, 0, "9 0 0"},
        {WM_SETFOCUS, 9, 0, 0, "10 9 0"},
    };
    for (const Case& c : cases) {
        g_calls.clear();
        EXPECT_EQ(SendMessageW(h, c.message, c.w, c.l), c.result) << c.call;
        EXPECT_EQ(g_calls, std::vector<std::string>{c.call});
    }
}

// ---------------------------------------------------------------------------
// The application object and the frame window.

// A frame window whose handlers can ask for the main window to close.
class ClosingFrame : public IxFrameWnd {
    IX_DECLARE_MESSAGE_MAP()
public:
    ~ClosingFrame() override { g_calls.push_back("deleted"); }
    LRESULT OnClose(WPARAM, LPARAM)
    {
        Destroy();
        // Still inside the handler: the window must exist until it returns.
        g_calls.push_back(IsWindow(m_hWnd) ? "alive in handler" : "gone in handler");
        SendMessageW(m_hWnd, WM_USER + 2, 0, 0);
        return 0;
    }
    LRESULT OnNested(WPARAM, LPARAM)
    {
        g_calls.push_back(IsWindow(m_hWnd) ? "alive in nested handler" : "gone in nested handler");
        return 0;
    }
};

IX_BEGIN_MESSAGE_MAP(ClosingFrame, IxFrameWnd)
IX_ON_MESSAGE(WM_USER + 1, IxSig_WL, OnClose)
IX_ON_MESSAGE(WM_USER + 2, IxSig_WL, OnNested)
IX_END_MESSAGE_MAP()

HWND MakeClosingFrame(TestApp* app)
{
    auto* frame = new ClosingFrame;
    if (!frame->Create(0, app->GetClassName(), app->GetClassName(), WS_VISIBLE, 0, 0, 800, 480, nullptr,
                       app->GetInstance())) {
        delete frame;
        return nullptr;
    }
    PostMessageW(frame->GetHandle(), WM_USER + 1, 0, 0);
    return frame->GetHandle();
}

TEST(IxApp, RunsUntilTheMainWindowClosesFromInsideAHandler)
{
    g_calls.clear();
    platform::DebugCapture capture;
    TestApp app(u"AppRunClass");
    app.make = MakeClosingFrame;
    int result = app.Run(GetModuleHandleW(nullptr), nullptr, SW_SHOW);
    UnregisterClassW(u"AppRunClass", nullptr);

    EXPECT_EQ(result, 0);
    // The close waits for the outermost handler; the object is deleted once,
    // after WM_DESTROY, by the window procedure.
    EXPECT_EQ(g_calls, (std::vector<std::string>{"alive in handler", "alive in nested handler", "deleted"}));
    EXPECT_FALSE(IsWindow(app.GetMainWindow()));
    EXPECT_TRUE(capture.Contains("TIME(DoCreate) = "));
    EXPECT_TRUE(capture.Contains("GTIME(WM_CREATE) = "));
}

TEST(IxApp, SecondInstanceBringsTheFirstForwardAndCreatesNothing)
{
    ClassScope cls(u"AppSingleClass");
    ClassScope otherCls(u"AppSingleOther");
    IxWindow running;
    ASSERT_TRUE(running.Create(0, u"AppSingleClass", u"first", 0, 0, 0, 10, 10, nullptr, nullptr));
    HWND front = CreateWindowExW(0, u"AppSingleOther", u"front", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(front);

    TestApp app(u"appsingleclass"); // found whatever the case
    app.make = [](TestApp*) -> HWND {
        ADD_FAILURE() << "a second instance must not create its window";
        return nullptr;
    };
    EXPECT_EQ(app.Run(nullptr, nullptr, SW_SHOW), 0);
    EXPECT_EQ(GetForegroundWindow(), running.GetHandle());
    EXPECT_EQ(app.GetMainWindow(), nullptr);

    DestroyWindow(front);
    running.Destroy();
}

TEST(IxApp, FailuresReachOnErrorWithTheirRecord)
{
    {
        // The class exists already: registration fails with kind 3.
        ClassScope taken(u"AppTakenClass");
        TestApp app(u"AppTakenClass");
        // No window of the class exists, so Run goes on to register it.
        EXPECT_EQ(app.Run(nullptr, nullptr, SW_SHOW), -7);
        EXPECT_EQ(app.error.kind, static_cast<DWORD>(IXERR_REGISTERCLASS));
        EXPECT_EQ(app.error.error, ERROR_CLASS_ALREADY_EXISTS);
    }
    {
        // InitInstance that makes no window: the error recorded last is passed on.
        TestApp app(u"AppNoWindowClass");
        app.make = [](TestApp*) -> HWND {
            IxWindow w;
            w.Create(0, u"NoSuchClass", u"", 0, 0, 0, 1, 1, nullptr, nullptr);
            return nullptr;
        };
        EXPECT_EQ(app.Run(nullptr, nullptr, SW_SHOW), -7);
        EXPECT_EQ(app.error.kind, static_cast<DWORD>(IXERR_CREATEWINDOW));
        EXPECT_EQ(app.error.error, ERROR_CANNOT_FIND_WND_CLASS);
        EXPECT_EQ(app.GetMainWindow(), nullptr);
        UnregisterClassW(u"AppNoWindowClass", nullptr);
    }
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(frame->Create(0, u"FrameTestClass", u"frame", WS_VISIBLE, 0, 0, 800, 480, nullptr, nullptr));
        ASSERT_NE(frame->GetKernelFrame(), nullptr);
        hwnd = frame->GetHandle();
        Pump();
    }
    void TearDown() override
    {
        // The main window's object is deleted by the window procedure.
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {}
    }
    ClassScope cls{u"FrameTestClass"};
    TestApp app{u"FrameTestClass"};
    IxFrameWnd* frame = new IxFrameWnd;
    HWND hwnd = nullptr;
};

TEST_F(FrameTest, BecomesTheMainWindowAndEndsTheLoopWhenDestroyed)
{
    EXPECT_EQ(app.GetMainWindow(), hwnd);
    RECT rc = frame->GetKernelFrame()->GetRect();
    EXPECT_EQ(rc.right, 800);
    EXPECT_EQ(rc.bottom, 480);
    DestroyWindow(hwnd);
    MSG msg;
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0)); // WM_QUIT
}

TEST_F(FrameTest, PressesQueuedBehindTheHandledOneAreDiscarded)
{
    PostMessageW(hwnd, WM_LBUTTONDOWN, 1, MAKELPARAM(10, 10));
    PostMessageW(hwnd, WM_LBUTTONDOWN, 1, MAKELPARAM(20, 20));
    PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    PostMessageW(hwnd, WM_LBUTTONDOWN, 1, MAKELPARAM(30, 30));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    DispatchMessageW(&msg);
    // Only the release is left.
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_LBUTTONUP);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(FrameTest, VolumeAndPortChangesBecomeDeviceActions)
{
    platform::DebugCapture capture;
    DEV_BROADCAST_HDR volume{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_VOLUME, 0};
    DEV_BROADCAST_HDR port{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_PORT, 0};
    DEV_BROADCAST_HDR iface{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_DEVICEINTERFACE, 0};
    EXPECT_EQ(SendMessageW(hwnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume)), 1);
    EXPECT_EQ(SendMessageW(hwnd, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&port)), 1);
    // Other types and other events are ignored, and still answered 1.
    EXPECT_EQ(SendMessageW(hwnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&iface)), 1);
    EXPECT_EQ(SendMessageW(hwnd, WM_DEVICECHANGE, 0x0007, reinterpret_cast<LPARAM>(&volume)), 1);

    EXPECT_EQ(capture.Lines(),
              (std::vector<std::string>{"[DEVICE] [AEV_ATTACH], type=[DBT_DEVTYP_VOLUME]",
                                        "[DEVICE] [AEV_DETACH], type=[DBT_DEVTYP_PORT]"}));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, g_uIxNotifyAction);
    EXPECT_EQ(msg.wParam, MAKEWPARAM(IXA_PLATFORMNOTICE, AEV_ATTACH));
    EXPECT_EQ(msg.lParam, 2);
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, MAKEWPARAM(IXA_PLATFORMNOTICE, AEV_DETACH));
    EXPECT_EQ(msg.lParam, 3);
    EXPECT_FALSE(PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE));
}

TEST_F(FrameTest, DefaultSoftKeyMakesOnePlainCharacter)
{
    IxTextInput first{IxTextInput::None, nullptr, 0, 0};
    IxTextInput second{IxTextInput::None, nullptr, 0, 0};
    EXPECT_FALSE(frame->InvokeSoftKey(8, &first, &second));
    ASSERT_TRUE(frame->InvokeSoftKey(u'\uAC00', &first, &second));
    EXPECT_EQ(first.kind, IxTextInput::Plain);
    EXPECT_EQ(first.length, 1);
    EXPECT_EQ(first.text[0], u'\uAC00');
    EXPECT_EQ(second.kind, IxTextInput::None);
}

class NoticeFrame : public IxFrameWnd {
public:
    void OnExternalNotice(WPARAM w, LPARAM l) override { notices.emplace_back(w, l); }
    std::vector<std::pair<WPARAM, LPARAM>> notices;
};

TEST(FrameNotices, ExternalNoticeReachesTheWindowOthersAreIgnored)
{
    ClassScope cls(u"NoticeFrameClass");
    TestApp app(u"NoticeFrameClass");
    auto* frame = new NoticeFrame;
    ASSERT_TRUE(frame->Create(0, u"NoticeFrameClass", u"", 0, 0, 0, 800, 480, nullptr, nullptr));
    HWND hwnd = frame->GetHandle();
    for (WORD code : {1, 2, 5, 7})
        SendMessageW(hwnd, g_uIxNotifyAction, MAKEWPARAM(1, code), 55);
    ASSERT_EQ(frame->notices.size(), 1u);
    EXPECT_EQ(frame->notices[0].first, MAKEWPARAM(1, 7));
    EXPECT_EQ(frame->notices[0].second, 55);
    DestroyWindow(hwnd);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {}
}

TEST(FrameMessages, FrameworkMessagesAreRegisteredInOrder)
{
    EXPECT_GE(g_uIxNotifyAction, 0xC000u);
    EXPECT_EQ(g_uIxRecall, g_uIxNotifyAction + 1);
    EXPECT_EQ(g_uIxFromExternal, g_uIxRecall + 1);
    EXPECT_EQ(RegisterWindowMessageW(u"I_NotifyAction_"), g_uIxNotifyAction);
}

} // namespace
