#include "tests/common/FrameWindow.h"

#include "platform/base/Debug.h"

#include <string>
#include <vector>

namespace {

using namespace frametest;

// Records the events and actions that reach it.
class Recorder : public IxElement {
public:
    explicit Recorder(int id = 0) { m_nId = id; }
    LRESULT OnEvent(int code, LPARAM param) override
    {
        events.push_back({code, param});
        return IxElement::OnEvent(code, param);
    }
    int ActionIsInvoked(int code, int kind, LPARAM value) override
    {
        actions.push_back({code, kind, value});
        return 0;
    }
    void Draw(IxPaintRecord*) override {}
    bool Heard(int code, LPARAM param) const
    {
        for (const auto& e : events) {
            if (e.first == code && e.second == param)
                return true;
        }
        return false;
    }
    struct Action {
        int code, kind;
        LPARAM value;
        bool operator==(const Action&) const = default;
    };
    std::vector<std::pair<int, LPARAM>> events;
    std::vector<Action> actions;
};

class ServicesTest : public FrameWindowTest {
protected:
    LRESULT Service(int code, void* record = nullptr, LPARAM value = 0)
    {
        return frame->GetKernel()->Service(code, record, value);
    }
    // The priorities of the stack, bottom first.
    std::vector<int> Priorities() const
    {
        std::vector<int> out;
        for (int i = 0; i < frame->Layers().Count(); ++i)
            out.push_back(frame->Layers()[i].nPriority);
        return out;
    }
    // The next posted "I_NotifyAction_" to the window, as {word, value}.
    std::vector<std::pair<DWORD, LPARAM>> PostedNotices()
    {
        std::vector<std::pair<DWORD, LPARAM>> out;
        MSG msg;
        while (PeekMessageW(&msg, hwnd, g_uIxNotifyAction, g_uIxNotifyAction, PM_REMOVE))
            out.push_back({static_cast<DWORD>(msg.wParam), msg.lParam});
        return out;
    }
};

TEST_F(ServicesTest, CodesOutsideTheTableAnswerZeroAndDoNothing)
{
    for (int code : {0, -1, 8, 9, 16, 17, 18, 20, 21, 22, 50, 51, 55, 56, 57, 1000})
        EXPECT_EQ(Service(code, nullptr, 5), 0) << code;
    EXPECT_EQ(Service(IXSVC_NOP), 1);
    EXPECT_TRUE(PostedNotices().empty());
}

TEST_F(ServicesTest, BroadcastFocusAndTheKeyedElement)
{
    Recorder listener;
    const DWORD filter[] = {IxActionWord(300, 0), 0};
    frame->GetKernel()->AddListener(filter, &listener);
    IxActionRecord action{IxActionWord(300, AEV_PRESS), 9};
    EXPECT_EQ(Service(IXSVC_BROADCAST, &action), 1);
    ASSERT_EQ(listener.actions.size(), 1u);
    EXPECT_EQ(listener.actions[0], (Recorder::Action{300, AEV_PRESS, 9}));
    // The wrapper takes the same road.
    IxBroadcast(300, AEV_RELEASE, 4);
    EXPECT_EQ(listener.actions.back(), (Recorder::Action{300, AEV_RELEASE, 4}));

    auto* sheet = new Sheet(10, RECT{0, 0, 800, 480});
    auto* keyed = new Recorder(77);
    sheet->AddChild(keyed);
    frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN);
    EXPECT_EQ(Service(IXSVC_KEYEDEVENT, nullptr, 3), 1); // no record: nobody
    EXPECT_FALSE(keyed->Heard(8, 3));
    frame->GetKernel()->GetRecord(0, TRUE)->nElementId = 77;
    Service(IXSVC_KEYEDEVENT, nullptr, 3);
    EXPECT_TRUE(keyed->Heard(8, 3));

    EXPECT_EQ(Service(IXSVC_FOCUS, keyed), 1);
    EXPECT_EQ(frame->GetKernel()->GetFocus(), keyed);
    EXPECT_TRUE(keyed->Heard(IXEV_FOCUSIN, reinterpret_cast<LPARAM>(keyed)));
    Service(IXSVC_FOCUS, nullptr);
    EXPECT_EQ(frame->GetKernel()->GetFocus(), nullptr);
    frame->GetKernel()->RemoveListener(filter, &listener);
}

TEST_F(ServicesTest, FrameFlagsAndNotices)
{
    Service(IXSVC_FLAGFRAME);
    EXPECT_TRUE(frame->HasFlag(IXF_INVALIDATEALL));
    Service(IXSVC_NODEFAULTDRAW, nullptr, 1);
    EXPECT_TRUE(frame->GetState() & IXFS_NODEFAULTDRAW);
    Service(IXSVC_NODEFAULTDRAW, nullptr, 0);
    EXPECT_FALSE(frame->GetState() & IXFS_NODEFAULTDRAW);
    EXPECT_EQ(Service(IXSVC_MOVED), 0);
    POINT pt{-1, -1};
    EXPECT_EQ(Service(IXSVC_CURSORPOS, &pt), 1);
    EXPECT_EQ(pt.x, 0);
    EXPECT_EQ(pt.y, 0);

    Service(IXSVC_NOTICE1, nullptr, 42);
    Service(IXSVC_NOTICE2, nullptr, 42);
    Service(IXSVC_NOTICE3, nullptr, 42);
    Service(IXSVC_REPAINTNOTICE);
    using N = std::pair<DWORD, LPARAM>;
    EXPECT_EQ(PostedNotices(),
              (std::vector<N>{{IxActionWord(IXA_WINDOWNOTICE, IXNOTICE_SERVICE1), 42},
                              {IxActionWord(IXA_WINDOWNOTICE, IXNOTICE_SERVICE2), 0},
                              {IxActionWord(IXA_WINDOWNOTICE, IXNOTICE_SOFTKEY_FINISH), 0},
                              {IxActionWord(IXA_WINDOWNOTICE, IXNOTICE_EXTERNAL), 0}}));
}

TEST_F(ServicesTest, FontEntriesAreReadAndStoredWithTheirNotice)
{
    IxFontTable& fonts = frame->GetFontTable();
    IxString face(u"NanumGothic");
    IxFontEntry row{0, 20, face.Data(), RGB(1, 2, 3), nullptr};
    ASSERT_EQ(fonts.Add(row), 0);

    IxFontEntry read{};
    EXPECT_EQ(Service(IXSVC_GETFONT, &read, 0), 1);
    EXPECT_EQ(read.nSize, 20);
    EXPECT_EQ(read.crText, RGB(1, 2, 3));
    EXPECT_EQ(std::u16string(read.FaceText()), u"NanumGothic");

    Recorder listener;
    const DWORD filter[] = {IxActionWord(IXA_FONTCHANGED, 0), IxActionWord(IXA_FONTCOLORCHANGED, 0), 0};
    frame->GetKernel()->AddListener(filter, &listener);
    IxFontEntry colour = read;
    colour.crText = RGB(9, 9, 9);
    EXPECT_EQ(Service(IXSVC_SETFONT, &colour, 0), 0);
    IxFontEntry bigger = read;
    bigger.nSize = 30;
    Service(IXSVC_SETFONT, &bigger, 0);
    Service(IXSVC_DRAIN);
    EXPECT_EQ(listener.actions, (std::vector<Recorder::Action>{{17, AEV_PRESS, 0}, {16, AEV_PRESS, 0}}));
    EXPECT_EQ(fonts.At(0)->nSize, 30);
    frame->GetKernel()->RemoveListener(filter, &listener);
}

TEST_F(ServicesTest, PushesUseTheirPriorities)
{
    struct Case {
        int code;
        LPARAM value;
        int priority;
    };
    const Case cases[] = {
        {IXSVC_PUSH, 123, 123},         {IXSVC_PUSHSCREEN, 0, IXLAYER_SCREEN}, {IXSVC_PUSHOVERLAY, 0, IXLAYER_OVERLAY},
        {IXSVC_PUSHTOP, 3, 0x7fffffa2}, {IXSVC_PUSHTOP, -3, -0x7fffffa2},      {IXSVC_PUSHTOP, 0, -0x7fffffa5},
    };
    for (const Case& c : cases) {
        IxLayerRecord record{new Sheet(50, RECT{0, 0, 10, 10}), nullptr};
        EXPECT_EQ(Service(c.code, &record, c.value), 1);
        bool found = false;
        for (int i = 0; i < frame->Layers().Count(); ++i)
            found |= frame->Layers()[i].pView == record.pView && frame->Layers()[i].nPriority == c.priority;
        EXPECT_TRUE(found) << c.code << " " << c.value;
        Service(IXSVC_POP, nullptr, 50);
    }
    EXPECT_EQ(frame->Layers().Count(), 0);
}

TEST_F(ServicesTest, PushesDrainTheQueueWhileTheOldLayersAreUp)
{
    Recorder listener;
    const DWORD filter[] = {IxActionWord(400, 0), 0};
    frame->GetKernel()->AddListener(filter, &listener);
    int layersWhenHeard = -1;
    struct Counting : Recorder {
        IxKernelFrame* frame;
        int* seen;
        int ActionIsInvoked(int, int, LPARAM) override
        {
            *seen = frame->Layers().Count();
            return 0;
        }
    } counting;
    counting.frame = frame;
    counting.seen = &layersWhenHeard;
    frame->GetKernel()->AddListener(filter, &counting);
    PushGlobalAction(400, AEV_PRESS, 0);
    IxLayerRecord record{new Sheet(51, RECT{0, 0, 10, 10}), nullptr};
    Service(IXSVC_PUSHSCREEN, &record);
    EXPECT_EQ(layersWhenHeard, 0);
    EXPECT_EQ(frame->GetQueue().Count(), 0);
    frame->GetKernel()->RemoveListener(filter, &listener);
    frame->GetKernel()->RemoveListener(filter, &counting);
}

TEST_F(ServicesTest, TheDragLayerIsKeptOnceAndNamed)
{
    Recorder owner;
    auto* first = new Sheet(60, RECT{0, 0, 10, 10});
    auto* second = new Sheet(61, RECT{0, 0, 10, 10});
    IxLayerRecord a{first, &owner};
    IxLayerRecord b{second, &owner};
    Service(IXSVC_DRAGLAYER, &a);
    Service(IXSVC_DRAGLAYER, &b);
    EXPECT_EQ(Priorities(), (std::vector<int>{IXLAYER_DRAG}));
    EXPECT_EQ(Service(IXSVC_DRAGVIEW), reinterpret_cast<LRESULT>(second));
    // The owner got the first view back (and deleted it) when its layer went.
    EXPECT_TRUE(owner.Heard(IXEV_HANDBACK, reinterpret_cast<LPARAM>(first))
                || owner.Heard(IXEV_LAYERCLOSED, reinterpret_cast<LPARAM>(first)));
    Service(IXSVC_REMOVEOWNED, &owner);
    EXPECT_EQ(Service(IXSVC_DRAGVIEW), 0);
}

TEST_F(ServicesTest, PopupIsCentredAndOnlyOne)
{
    Recorder owner;
    auto* popup = new Sheet(70, RECT{0, 0, 200, 100});
    IxLayerRecord record{popup, &owner};
    EXPECT_EQ(Service(IXSVC_POPUP, &record), 1);
    RECT rc;
    popup->GetRect(&rc);
    EXPECT_EQ(rc.left, 300);
    EXPECT_EQ(rc.top, 190);
    EXPECT_EQ(rc.right, 500);
    EXPECT_TRUE(frame->GetState() & IXFS_POPUP);

    auto* second = new Sheet(71, RECT{0, 0, 10, 10});
    IxLayerRecord other{second, nullptr};
    EXPECT_EQ(Service(IXSVC_POPUP, &other), 0);
    delete second;

    EXPECT_EQ(Service(IXSVC_ISSHOWN, nullptr, 70), reinterpret_cast<LRESULT>(popup));
    EXPECT_EQ(Service(IXSVC_CLOSEPOPUP), 1);
    EXPECT_EQ(Service(IXSVC_ISSHOWN, nullptr, 70), 0);
    EXPECT_FALSE(frame->GetState() & IXFS_POPUP);
}

TEST_F(ServicesTest, AttachedViewsComeAndGoById)
{
    auto* view = new Recorder(80);
    EXPECT_EQ(Service(IXSVC_ATTACH, view), 1);
    EXPECT_EQ(view->GetParent(), frame);
    EXPECT_TRUE(view->HasFlag(IXF_ACTIVE));
    EXPECT_EQ(frame->FindElement(IXFIND_ID, 80, nullptr, nullptr, nullptr), view);
    IxElementWatch watch(view);
    EXPECT_EQ(Service(IXSVC_DETACH, nullptr, 80), 1);
    EXPECT_FALSE(watch.Alive());
    EXPECT_EQ(frame->Attached().Count(), 0);
}

TEST_F(ServicesTest, ModalLoopRunsUntilItsLayerGoes)
{
    Recorder owner;
    auto* dialog = new Sheet(90, RECT{0, 0, 100, 100});
    IxLayerRecord record{dialog, &owner};
    // Ended by service 38 from inside the loop.
    struct Ender : Recorder {
        IxKernel* kernel;
        LRESULT OnEvent(int code, LPARAM param) override
        {
            if (code == 25)
                kernel->Service(IXSVC_ENDMODAL, nullptr, param);
            return 0;
        }
    };
    auto* ender = new Ender;
    ender->SetId(91);
    ender->kernel = frame->GetKernel();
    dialog->AddChild(ender);
    PostMessageW(hwnd, g_uIxRecall, 91, 5);
    EXPECT_EQ(Service(IXSVC_MODAL, &record, 0), 5);
    EXPECT_EQ(Service(IXSVC_ISSHOWN, nullptr, 90), 0);

    // Ended with -1 when the owner's layers are removed.
    auto* again = new Sheet(92, RECT{0, 0, 100, 100});
    IxLayerRecord second{again, &owner};
    struct Remover : Recorder {
        IxKernel* kernel;
        IxElement* owner;
        LRESULT OnEvent(int code, LPARAM) override
        {
            if (code == 25)
                kernel->Service(IXSVC_REMOVEOWNED, owner, 0);
            return 0;
        }
    };
    auto* remover = new Remover;
    remover->SetId(93);
    remover->kernel = frame->GetKernel();
    remover->owner = &owner;
    again->AddChild(remover);
    PostMessageW(hwnd, g_uIxRecall, 93, 1);
    EXPECT_EQ(Service(IXSVC_MODAL, &second, 0), -1);
    EXPECT_EQ(frame->Layers().Count(), 0);
}

TEST_F(ServicesTest, WindowDrawingContextsPaintOrKeepTheirBuffer)
{
    auto* dc = reinterpret_cast<IxDC*>(Service(IXSVC_OPENDC, nullptr, 0));
    ASSERT_NE(dc, nullptr);
    HBRUSH red = CreateSolidBrush(kRed);
    RECT box{10, 10, 20, 20};
    FillRect(dc->GetDC(), &box, red);
    EXPECT_EQ(Service(IXSVC_ENDDC, dc), 1);
    EXPECT_EQ(At(15, 15), Px(kRed));

    // A buffered context is kept off the screen.
    dc = reinterpret_cast<IxDC*>(Service(IXSVC_OPENDC2, nullptr, 40 | (30 << 16)));
    ASSERT_NE(dc, nullptr);
    RECT inner{0, 0, 40, 30};
    HBRUSH green = CreateSolidBrush(kGreen);
    FillRect(dc->GetDC(), &inner, green);
    auto bitmap = reinterpret_cast<HBITMAP>(Service(IXSVC_ENDDCKEEP, dc));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(At(25, 25), Px(kBlue));
    BITMAP info{};
    ASSERT_TRUE(GetObjectW(bitmap, sizeof info, &info));
    EXPECT_EQ(info.bmWidth, 40);
    EXPECT_EQ(info.bmHeight, 30);
    DeleteObject(bitmap);
    DeleteObject(red);
    DeleteObject(green);
}

TEST_F(ServicesTest, RepaintNowUpdatesTheWindowAtOnce)
{
    auto* sheet = new Sheet(10, RECT{0, 0, 800, 480});
    ColorBox* box = sheet->Add(11, RECT{100, 100, 200, 200}, kRed);
    IxLayerRecord record{sheet, nullptr};
    Service(IXSVC_PUSHSCREEN, &record);
    EXPECT_EQ(Service(IXSVC_REPAINTNOW, nullptr, 0), 1);
    EXPECT_EQ(box->draws, 1);
    EXPECT_EQ(At(150, 150), Px(kRed));
}

TEST_F(ServicesTest, PictureReadyReachesOnlyAControlThatStillExists)
{
    auto* sheet = new Sheet(10, RECT{0, 0, 800, 480});
    auto* control = new Recorder(11);
    sheet->AddChild(control);
    frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN);
    // The loader posts a weak reference to the control that asked.
    IxElementRef ref(control);
    frame->DispatchPosted(IxActionWord(IXA_PICTUREREADY, 0), IxElementRef(ref).Detach());
    EXPECT_TRUE(control->Heard(16, 0));

    // A control deleted after it asked hears nothing, and the reference
    // posted for it is released (the sanitizer build checks the leak).
    LPARAM posted = ref.Detach();
    sheet->RemoveChild(control, FALSE);
    frame->DispatchPosted(IxActionWord(IXA_PICTUREREADY, 0), posted);
    EXPECT_EQ(IxElementRef::Adopt(0).Get(), nullptr);
}

TEST_F(ServicesTest, DetachKillsTheFramesOwnTimers)
{
    IxKernel* kernel = frame->GetKernel();
    static int interval = 0;
    frame->BeginBusy();
    kernel->SetTimer(frame, IxTimerId(&interval), 100);
    frame->EndBusy();
    ASSERT_TRUE(kernel->IsTimerSet(frame, IxTimerId(&interval)));
    EXPECT_EQ(frame->OnEvent(IXEV_DETACHED, 0), 1);
    EXPECT_FALSE(kernel->IsTimerSet(frame, IxTimerId(&interval)));
}

TEST_F(ServicesTest, WindowNoticesBecomeActions)
{
    Recorder listener;
    const DWORD filter[]
        = {IxActionWord(IXA_COPYDATA, 0), IxActionWord(IXA_NOSENDER, 0), IxActionWord(IXA_BROADCASTMESSAGE, 0), 0};
    frame->GetKernel()->AddListener(filter, &listener);
    LPARAM seen[3] = {};
    struct Reader : Recorder {
        LPARAM* out;
        int count;
        int ActionIsInvoked(int, int, LPARAM value) override
        {
            for (int i = 0; i < count; ++i)
                out[i] = reinterpret_cast<const LPARAM*>(value)[i];
            return 0;
        }
    } reader;
    reader.out = seen;
    reader.count = 2;
    const DWORD copyFilter[] = {IxActionWord(IXA_COPYDATA, 0), 0};
    frame->GetKernel()->AddListener(copyFilter, &reader);
    SendMessageW(hwnd, WM_COPYDATA, 7, 8);
    EXPECT_EQ(seen[0], 7);
    EXPECT_EQ(seen[1], 8);
    frame->GetKernel()->RemoveListener(copyFilter, &reader);

    // Without a sender the id is 4 and the kind the notification code.
    SendMessageW(hwnd, WM_COMMAND, 55, 0);
    NMHDR header{nullptr, 0, 66};
    SendMessageW(hwnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    frame->ForwardBroadcast(1, 2, 3);
    std::vector<std::pair<int, int>> heard;
    for (const auto& a : listener.actions)
        heard.push_back({a.code, a.kind});
    EXPECT_EQ(heard, (std::vector<std::pair<int, int>>{{69, AEV_PRESS}, {4, 55}, {4, 66}, {74, 0x1027}}));

    // While busy a notice is posted, not delivered.
    frame->BeginBusy();
    SendMessageW(hwnd, WM_COMMAND, 56, 0);
    frame->EndBusy();
    EXPECT_EQ(listener.actions.size(), 4u);
    Pump();
    EXPECT_EQ(listener.actions.back(), (Recorder::Action{4, 56, 0}));
    frame->GetKernel()->RemoveListener(filter, &listener);
}

} // namespace
