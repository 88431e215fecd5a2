#include "Lib_cpp/kernel/Kernel.h"
#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/core/App.h"
#include "Lib_cpp/core/Window.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "platform/base/Clock.h"
#include "platform/ui/Window.h"
#include "tests/common/FrameWindow.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_log;

class TestApp : public IxApp {
public:
    explicit TestApp(LPCWSTR cls) : IxApp(cls) {}
    HWND InitInstance() override { return nullptr; }
};

// A view that records what reaches it.
class Probe : public IxView {
public:
    Probe(int id, std::string name, int accept = 0) : m_name(std::move(name)), m_accept(accept) { m_nId = id; }
    ~Probe() override
    {
        if (deleted)
            *deleted = true;
    }
    int ActionIsInvoked(int code, int kind, LPARAM value) override
    {
        g_log.push_back(m_name + " " + std::to_string(code)
                        + (kind == AEV_PRESS ? "" : std::string("/") + std::to_string(kind)));
        if (onAction)
            onAction(code, value);
        return m_accept;
    }
    LRESULT OnEvent(int code, LPARAM param) override
    {
        events.push_back(code);
        if (code == IXEV_TIMER)
            timerIds.push_back(static_cast<UINT_PTR>(param));
        if (code == IXEV_LAYERCLOSED || code == IXEV_HANDBACK)
            g_log.push_back(m_name + " " + std::to_string(code));
        return IxView::OnEvent(code, param);
    }
    std::string m_name;
    int m_accept;
    std::function<void(int, LPARAM)> onAction;
    std::vector<int> events;
    std::vector<UINT_PTR> timerIds;
    bool* deleted = nullptr;
    int m_nInterval = 0; // its address is the timer id
};

class Hook : public IxKernelAppPlayer {
public:
    int ActionIsInvoked(int code, int kind, LPARAM) override
    {
        g_log.push_back("hook " + std::to_string(code)
                        + (kind == AEV_PRESS ? "" : std::string("/") + std::to_string(kind)));
        return consent;
    }
    void OnLayerChanged(int on, LPARAM) override { layerChanges.push_back(on); }
    int consent = 1;
    std::vector<int> layerChanges;
};

class KernelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_log.clear();
        window = frametest::OpenFrameWindow(u"KernelTestClass");
        ASSERT_NE(window, nullptr);
        hwnd = window->GetHandle();
        frame = window->GetKernelFrame();
        ASSERT_NE(frame, nullptr);
        kernel = IxGetKernel();
        ASSERT_EQ(kernel, frame->GetKernel());
        Pump();
    }
    void TearDown() override
    {
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
        EXPECT_EQ(IxGetKernel(), nullptr);
        // The application's main window: its object went with the window.
        frametest::CloseFrameWindow(hwnd, u"KernelTestClass");
    }
    void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    Hook* InstallHook()
    {
        auto* hook = new Hook;
        frame->SetHook(hook);
        return hook;
    }
    std::vector<std::string> TakeLog()
    {
        std::vector<std::string> log;
        log.swap(g_log);
        return log;
    }

    TestApp app{u"KernelTestClass"};
    IxFrameWnd* window = nullptr;
    HWND hwnd = nullptr;
    IxKernelFrame* frame = nullptr;
    IxKernel* kernel = nullptr;
};

using Log = std::vector<std::string>;

TEST(KernelFilter, RowsMatchByIdAndKind)
{
    const DWORD table[] = {IxActionWord(0, AEV_DETACH), IxActionWord(12104, 0), IxActionWord(300, 5), 0};
    struct Case {
        int id, kind;
        BOOL match;
    } cases[] = {
        {77, AEV_DETACH, TRUE}, {77, AEV_ATTACH, FALSE}, {12104, 1, TRUE}, {12104, AEV_PRESS, TRUE},
        {300, 5, TRUE},         {300, 6, FALSE},         {0, 0, FALSE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IxMatchesFilter(table, IxActionWord(c.id, c.kind)), c.match) << c.id << "/" << c.kind;
    EXPECT_FALSE(IxMatchesFilter(nullptr, IxActionWord(12104, 0)));
}

TEST_F(KernelTest, SubscribersNewestFirstUntilOneAcceptsElseEveryMatchingListener)
{
    Probe early(0, "early"), late(0, "late"), l1(0, "l1"), l2(0, "l2"), l3(0, "l3");
    const DWORD f1[] = {IxActionWord(100, 0), 0};
    const DWORD fDetach[] = {IxActionWord(0, AEV_DETACH), 0};
    const DWORD fAny[] = {IxActionWord(12104, 0), 0};
    kernel->Subscribe(100, &early);
    kernel->Subscribe(100, &late);
    kernel->AddListener(f1, &l1);
    kernel->AddListener(fDetach, &l2);
    kernel->AddListener(fAny, &l3);

    frame->Notify(100, AEV_PRESS, 0);
    EXPECT_EQ(TakeLog(), (Log{"late 100", "early 100", "l1 100"}));
    early.m_accept = 1;
    frame->Notify(100, AEV_PRESS, 0);
    EXPECT_EQ(TakeLog(), (Log{"late 100", "early 100"}));
    late.m_accept = 1;
    frame->Notify(100, AEV_PRESS, 0);
    EXPECT_EQ(TakeLog(), (Log{"late 100"}));

    frame->Notify(12104, AEV_DETACH, 0);
    frame->Notify(55, AEV_DETACH, 0);
    frame->Notify(12104, 3, 0);
    EXPECT_EQ(TakeLog(), (Log{"l2 12104/4129", "l3 12104/4129", "l2 55/4129", "l3 12104/3"}));
}

TEST_F(KernelTest, ListenerRemovedDuringBroadcastIsSkippedAndCompactedAfterTheOutermostBracket)
{
    Probe a(0, "a"), b(0, "b"), c(0, "c"), added(0, "added");
    const DWORD filter[] = {IxActionWord(7, 0), 0};
    kernel->AddListener(filter, &a);
    kernel->AddListener(filter, &b);
    kernel->AddListener(filter, &c);
    int countInside = -1;
    a.onAction = [&](int code, LPARAM) {
        if (code != 7)
            return;
        kernel->RemoveListener(filter, &a);
        kernel->RemoveListener(filter, &b);
        kernel->AddListener(filter, &added); // joins after this broadcast
        frame->Notify(8, AEV_PRESS, 0);      // a nested bracket does not compact
        countInside = kernel->Listeners().Count();
    };
    frame->Notify(7, AEV_PRESS, 0);
    EXPECT_EQ(TakeLog(), (Log{"a 7", "c 7"}));
    EXPECT_EQ(countInside, 4);
    EXPECT_EQ(kernel->Listeners().Count(), 2);
    frame->Notify(7, AEV_PRESS, 0);
    EXPECT_EQ(TakeLog(), (Log{"c 7", "added 7"}));
}

// The look-up tables are not rebuilt while a broadcast runs: a broadcast
// nested in a handler that added a listener or a subscription still reaches
// it, and the outer broadcast goes on over the table as it began.
TEST_F(KernelTest, ReceiversAddedDuringABroadcastHearNestedBroadcastsOnly)
{
    Probe a(0, "a"), b(0, "b"), late(0, "late"), sub(0, "sub");
    const DWORD filter[] = {IxActionWord(7, 0), IxActionWord(0, AEV_DETACH), 0};
    kernel->AddListener(filter, &a);
    kernel->AddListener(filter, &b);
    frame->Notify(7, AEV_PRESS, 0); // the tables are indexed as they stand
    EXPECT_EQ(TakeLog(), (Log{"a 7", "b 7"}));
    bool once = true;
    a.onAction = [&](int code, LPARAM) {
        if (code != 7 || !once)
            return;
        once = false;
        kernel->AddListener(filter, &late);
        kernel->Subscribe(40, &sub);
        kernel->RemoveListener(filter, &b);
        frame->Notify(12, AEV_DETACH, 0);
        frame->Notify(40, AEV_PRESS, 0);
    };
    frame->Notify(7, AEV_PRESS, 0);
    EXPECT_EQ(TakeLog(), (Log{"a 7", "a 12/4129", "late 12/4129", "sub 40"}));
    frame->Notify(7, AEV_PRESS, 0);
    frame->Notify(40, AEV_PRESS, 0);
    EXPECT_EQ(TakeLog(), (Log{"a 7", "late 7", "sub 40"}));
    kernel->Unsubscribe(40, &sub);
    kernel->RemoveListener(filter, &a);
    frame->Notify(40, AEV_PRESS, 0); // compacted at the end of this bracket
    frame->Notify(7, AEV_DETACH, 0);
    EXPECT_EQ(TakeLog(), (Log{"late 7/4129"}));
    EXPECT_EQ(kernel->FindSubscription(40), nullptr);
}

TEST_F(KernelTest, UnsubscribeAndDeletedElementsLeaveNoTrace)
{
    Probe s(0, "s", 1), killer(0, "killer");
    const DWORD filter[] = {IxActionWord(9, 0), 0};
    kernel->Subscribe(9, &s);
    auto* doomed = new Probe(0, "doomed");
    kernel->Subscribe(9, doomed);
    kernel->Subscribe(9, &killer);
    kernel->AddListener(filter, doomed);
    kernel->SetTimer(doomed, IxTimerId(&doomed->m_nInterval), 10);
    // The newest subscriber deletes an older one during the broadcast.
    killer.onAction = [&](int, LPARAM) { delete doomed; };
    frame->Notify(9, AEV_PRESS, 0);
    EXPECT_EQ(TakeLog(), (Log{"killer 9", "s 9"}));
    EXPECT_EQ(kernel->Listeners().Count(), 0);
    EXPECT_EQ(frame->GetTimers()[0].pTarget, nullptr);
    killer.onAction = nullptr;
    kernel->Unsubscribe(9, &s);
    kernel->Unsubscribe(9, &killer);
    EXPECT_NE(kernel->FindSubscription(9), nullptr);
    frame->Notify(9, AEV_PRESS, 0);
    EXPECT_EQ(kernel->FindSubscription(9), nullptr);
    EXPECT_TRUE(TakeLog().empty());
}

TEST_F(KernelTest, TimersStartAtTheNextSyncAndReplaceAnExistingOne)
{
    platform::ManualClock clock;
    Probe t(0, "t");
    UINT_PTR id = IxTimerId(&t.m_nInterval);
    ASSERT_TRUE(kernel->SetTimer(&t, id, 100));
    EXPECT_TRUE(kernel->IsTimerSet(&t, id));
    clock.Advance(500);
    Pump();
    EXPECT_TRUE(t.timerIds.empty()); // requested, not started
    frame->SyncTimers();
    EXPECT_LT(frame->GetTimers()[0].nInterval, 0);
    clock.Advance(100);
    Pump();
    EXPECT_EQ(t.timerIds, (std::vector<UINT_PTR>{id}));

    // Replacing: the running entry is cancelled, a new one requested.
    ASSERT_TRUE(kernel->SetTimer(&t, id, 30));
    EXPECT_TRUE(kernel->IsTimerSet(&t, id));
    ASSERT_EQ(frame->GetTimers().Count(), 2);
    EXPECT_EQ(frame->GetTimers()[0].nInterval, 0);
    EXPECT_EQ(frame->GetTimers()[1].nInterval, 30);
    frame->SyncTimers();
    EXPECT_EQ(frame->GetTimers()[0].pTarget, nullptr);
    t.timerIds.clear();
    clock.Advance(30);
    Pump();
    EXPECT_EQ(t.timerIds.size(), 1u);
    // A replacement of a requested timer frees the old entry at once.
    ASSERT_TRUE(kernel->SetTimer(&t, id + 1, 40));
    ASSERT_TRUE(kernel->SetTimer(&t, id + 1, 50));
    EXPECT_EQ(frame->GetTimers()[0].pTarget, nullptr);
    EXPECT_EQ(frame->GetTimers()[2].nInterval, 50);
    EXPECT_TRUE(kernel->IsTimerSet(&t, id + 1));
}

TEST_F(KernelTest, CancelledTimerThatFiresIsIgnoredAndKillAllTakesEveryTimer)
{
    platform::ManualClock clock;
    Probe t(0, "t");
    UINT_PTR a = IxTimerId(&t.m_nInterval);
    UINT_PTR b = a + 4;
    kernel->SetTimer(&t, a, 50);
    frame->SyncTimers();
    clock.Advance(50);
    kernel->KillTimer(&t, a); // the window timer is still due
    EXPECT_FALSE(kernel->IsTimerSet(&t, a));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_TIMER);
    DispatchMessageW(&msg);
    EXPECT_TRUE(t.timerIds.empty());

    kernel->SetTimer(&t, a, 20);
    frame->SyncTimers();
    kernel->SetTimer(&t, b, 20); // never started
    kernel->KillTimer(&t, 0);
    EXPECT_FALSE(kernel->IsTimerSet(&t, a));
    EXPECT_FALSE(kernel->IsTimerSet(&t, b));
    frame->SyncTimers();
    clock.Advance(100);
    Pump();
    EXPECT_TRUE(t.timerIds.empty());
    for (int i = 0; i < frame->GetTimers().Count(); ++i)
        EXPECT_EQ(frame->GetTimers()[i].pTarget, nullptr);
}

std::vector<int> LayerIds(IxKernelFrame* frame)
{
    std::vector<int> ids;
    for (int i = 0; i < frame->Layers().Count(); ++i)
        ids.push_back(frame->Layers()[i].pView->GetId());
    return ids;
}

TEST_F(KernelTest, LayersSortByPriorityMagnitudeAndEqualOnesStackInPushOrder)
{
    Hook* hook = InstallHook();
    frame->PushLayer(new Probe(1, "screen"), nullptr, IXLAYER_SCREEN);
    frame->PushLayer(new Probe(2, "popup"), nullptr, IXLAYER_POPUP);
    frame->PushTopLayer(new Probe(3, "top1"), 1);
    frame->PushLayer(new Probe(4, "plus5"), nullptr, 5);
    frame->PushLayer(new Probe(5, "minus5"), nullptr, -5);
    frame->PushLayer(new Probe(6, "screen2"), nullptr, IXLAYER_SCREEN);
    frame->PushLayer(new Probe(7, "modal"), nullptr, IXLAYER_MODAL);
    frame->PushLayer(new Probe(8, "overlay"), nullptr, IXLAYER_OVERLAY);
    frame->PushTopLayer(new Probe(9, "top30"), 30);
    // The modal magnitude 0x7fffff91 lies above screens and low top levels,
    // below popups, overlays and top levels 1..20.
    EXPECT_EQ(LayerIds(frame), (std::vector<int>{1, 6, 4, 5, 9, 7, 2, 8, 3}));
    EXPECT_EQ(frame->IsLayerShown(0)->GetId(), 3);
    EXPECT_EQ(frame->IsLayerShown(5)->GetId(), 5);
    EXPECT_EQ(frame->IsLayerShown(42), nullptr);
    EXPECT_TRUE(frame->GetState() & IXFS_SCREEN);
    EXPECT_TRUE(frame->GetState() & IXFS_OVERLAY);
    EXPECT_TRUE(frame->IsLayerShown(7)->HasFlag(IXF_ACTIVE));
    // Layers at or above the keep threshold are not reported to the hook.
    EXPECT_EQ(hook->layerChanges.size(), 8u);

    frame->PopLayer(8);
    EXPECT_FALSE(frame->GetState() & IXFS_OVERLAY);
    frame->PopAllLayers();
    EXPECT_EQ(LayerIds(frame), (std::vector<int>{3}));
    EXPECT_FALSE(frame->GetState() & IXFS_SCREEN);
}

TEST_F(KernelTest, FocusIsClearedByAPushAndRestoredByIdWhenTheLayerGoes)
{
    auto* screen = new Probe(1, "screen");
    auto* field = new Probe(50, "field");
    screen->AddChild(field);
    frame->PushLayer(screen, nullptr, IXLAYER_SCREEN);
    ASSERT_TRUE(field->HasFlag(IXF_ACTIVE));
    frame->SetFocus(field);
    EXPECT_EQ(kernel->GetFocus(), field);

    // A popup keeps the focus where it is.
    frame->PushLayer(new Probe(2, "popup"), nullptr, IXLAYER_POPUP);
    EXPECT_EQ(kernel->GetFocus(), field);
    frame->PopLayer(2);

    bool deleted = false;
    auto* dialog = new Probe(3, "dialog");
    dialog->deleted = &deleted;
    frame->PushLayer(dialog, nullptr, IXLAYER_SCREEN);
    EXPECT_EQ(kernel->GetFocus(), nullptr);
    EXPECT_EQ(frame->Layers()[1].nSavedFocusId, 50);
    field->events.clear();
    frame->PopLayer(3);
    EXPECT_TRUE(deleted); // no owner: the frame deletes the view
    EXPECT_EQ(kernel->GetFocus(), field);
    EXPECT_EQ(field->events, (std::vector<int>{IXEV_FOCUSIN}));
}

TEST_F(KernelTest, OwnerGetsHandBackWhileItOwnsAnotherLayerElseLayerClosed)
{
    Probe owner(0, "owner");
    owner.SetFlags(IXF_OWNSLAYER, 0);
    bool firstDeleted = false;
    auto* first = new Probe(1, "first");
    first->deleted = &firstDeleted;
    frame->PushLayer(first, &owner, IXLAYER_SCREEN);
    frame->PushLayer(new Probe(2, "second"), &owner, IXLAYER_POPUP);
    frame->PopLayer(1);
    EXPECT_TRUE(firstDeleted); // the owner's base disposes of it
    EXPECT_TRUE(owner.HasFlag(IXF_OWNSLAYER));
    frame->PopLayer(0);
    EXPECT_EQ(TakeLog(), (Log{"owner -2", "owner -1"}));
    EXPECT_FALSE(owner.HasFlag(IXF_OWNSLAYER));
    EXPECT_EQ(frame->Layers().Count(), 0);
}

TEST_F(KernelTest, EndOfTheOutermostBracketRunsItsWorkInOrder)
{
    Hook* hook = InstallHook();
    Probe owner(0, "owner");
    frame->PushLayer(new Probe(44, "later"), &owner, IXLAYER_SCREEN);
    Probe handler(0, "handler"), gone(0, "gone"), queued(0, "queued");
    const DWORD filter[] = {IxActionWord(60, 0), 0};
    const DWORD queuedFilter[] = {IxActionWord(61, 0), 0};
    kernel->AddListener(filter, &handler);
    kernel->AddListener(filter, &gone);
    kernel->AddListener(queuedFilter, &queued);
    handler.onAction = [&](int, LPARAM) {
        kernel->RequestWindow(IXWR_CLOSE);
        kernel->RequestSoftKey(0xAC00);
        kernel->RemoveListener(filter, &gone);
        PushGlobalAction(61, AEV_PRESS, 0);
        g_log.push_back("handler done");
    };
    queued.onAction = [&](int, LPARAM) { kernel->RequestInvalidateAll(); };
    frame->BeginBusy();
    frame->Notify(60, AEV_PRESS, 0);
    kernel->RequestPopLater(44); // the pop-later list is flushed first
    EXPECT_EQ(frame->Layers().Count(), 1);
    EXPECT_EQ(TakeLog(), (Log{"handler 60", "handler done"}));
    frame->EndBusy();
    EXPECT_EQ(TakeLog(), (Log{"owner -1", "queued 61", "hook 14", "hook 11"}));
    EXPECT_EQ(frame->Layers().Count(), 0);
    EXPECT_EQ(kernel->Listeners().Count(), 2);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, g_uIxNotifyAction);
    EXPECT_EQ(msg.wParam, IxActionWord(IXA_WINDOWNOTICE, IXNOTICE_SOFTKEY));
    EXPECT_EQ(msg.lParam, 0xAC00);
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_CLOSE);
    // The layer change leaves nothing but the repaint of the window.
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_PAINT);
    (void)hook;
}

TEST_F(KernelTest, WindowRequestsNeedTheHooksConsent)
{
    Hook* hook = InstallHook();
    struct Case {
        int request;
        int consent;
        BOOL visibleBefore;
        BOOL visibleAfter;
        Log asked;
    } cases[] = {
        {IXWR_HIDE, 0, TRUE, TRUE, {"hook 13"}},   {IXWR_HIDE, 1, TRUE, FALSE, {"hook 13"}},
        {IXWR_HIDE, 1, FALSE, FALSE, {}},          {IXWR_SHOW, 1, FALSE, TRUE, {"hook 12"}},
        {IXWR_SHOW, 0, FALSE, FALSE, {"hook 12"}}, {IXWR_CLOSE, 0, TRUE, TRUE, {"hook 11"}},
    };
    for (const Case& c : cases) {
        ShowWindow(hwnd, c.visibleBefore ? SW_SHOW : SW_HIDE);
        hook->consent = c.consent;
        frame->BeginBusy();
        kernel->RequestWindow(c.request);
        frame->EndBusy();
        EXPECT_EQ(IsWindowVisible(hwnd), c.visibleAfter) << c.request << " " << c.consent;
        EXPECT_EQ(TakeLog(), c.asked);
        MSG msg;
        EXPECT_FALSE(PeekMessageW(&msg, hwnd, WM_CLOSE, WM_CLOSE, PM_REMOVE));
    }
}

TEST_F(KernelTest, ActionQueuedDuringABroadcastFollowsItInTheSameBracket)
{
    Probe a(0, "a"), b(0, "b");
    const DWORD fa[] = {IxActionWord(200, 0), 0};
    const DWORD fb[] = {IxActionWord(201, 0), 0};
    kernel->AddListener(fa, &a);
    kernel->AddListener(fb, &b);
    a.onAction = [&](int, LPARAM) {
        PushGlobalAction(201, AEV_PRESS, 0);
        g_log.push_back("a end");
    };
    frame->Notify(200, AEV_PRESS, 0);
    EXPECT_EQ(TakeLog(), (Log{"a 200", "a end", "b 201"}));
    EXPECT_EQ(frame->GetQueue().Count(), 0);
}

TEST_F(KernelTest, PostedActionArrivingDuringAHandlerFollowsTheMessagesAlreadyWaiting)
{
    Probe p(0, "p");
    const DWORD filter[] = {IxActionWord(300, 0), IxActionWord(301, 0), IxActionWord(302, 0), 0};
    kernel->AddListener(filter, &p);
    p.onAction = [&](int code, LPARAM) {
        if (code != 300)
            return;
        // Arrives while the handler runs (a message sent to the window).
        SendMessageW(hwnd, g_uIxNotifyAction, IxActionWord(302, AEV_PRESS), 0);
        EXPECT_EQ(frame->GetDeferred().Count(), 1);
        g_log.push_back("p end");
    };
    PostMessageW(hwnd, g_uIxNotifyAction, IxActionWord(300, AEV_PRESS), 0);
    PostMessageW(hwnd, g_uIxFromExternal, 0, static_cast<LPARAM>(IxActionWord(301, AEV_PRESS)));
    Pump();
    EXPECT_EQ(TakeLog(), (Log{"p 300", "p end", "p 301", "p 302"}));
}

TEST_F(KernelTest, StoppedFrameBroadcastsOnlySystemEventsAndHandsTheRestToTheHook)
{
    InstallHook();
    Probe p(0, "p");
    const DWORD filter[] = {IxActionWord(IXA_PLATFORMNOTICE, 0), IxActionWord(10256, 0), 0};
    kernel->AddListener(filter, &p);
    frame->Stop(FALSE);
    PostMessageW(hwnd, g_uIxNotifyAction, IxActionWord(10256, AEV_PRESS), 0);
    PostMessageW(hwnd, g_uIxNotifyAction, IxActionWord(IXA_PLATFORMNOTICE, AEV_ATTACH), 0);
    Pump();
    EXPECT_EQ(TakeLog(), (Log{"hook 10256", "p 31/4128"}));
}

} // namespace
