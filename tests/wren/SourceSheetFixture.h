// What the model-bound screen tests share: a fake source model that logs
// every request a screen makes and posts notifications as a device-source
// model does, a model center to take its source, and a source sheet with
// the standard children, the numbered panels and a progress bar, on a frame
// window over the whole screen with the manual clock.
#pragma once

#include "Lib_cpp/controls/TextLabel.h"
#include "Lib_cpp/image/Image.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/models/ModelCenterBase.h"
#include "Source/models/ModelCodes.h"
#include "Source/screens/common/ModelProgressBar.h"
#include "Source/screens/common/SourceModel.h"
#include "Source/screens/common/SourceSheet.h"
#include "platform/base/Clock.h"
#include "tests/common/FrameScreenshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace sheettest {

using Log = std::vector<std::string>;

inline std::string Say(const char* text, long long v)
{
    std::string out(text);
    out += std::to_string(v);
    return out;
}

class FakeSource : public IxSourceModel {
public:
    explicit FakeSource(Log* log) : IxSourceModel(MODELID_DVD), log(log) {}

    int GetPlayState() const override { return s.playState; }
    BOOL IsActiveState() const override { return s.active; }
    int GetLength() const override { return s.length; }
    int GetPlayPosition() const override { return s.position; }
    void SetPlayPosition(int seconds) override { log->push_back(Say("seek ", seconds)); }
    BOOL PlayCurrent() override { return Did("play"); }
    BOOL RequestPause() override { return Did("pause"); }
    BOOL StartPlayback() override { return Did("start"); }
    BOOL PlayPendingSelection() override { return Did("play selection"); }
    BOOL RequestSkip(int direction) override { return Did(Say("skip ", direction)); }
    BOOL RequestSearch(int direction) override { return Did(Say("search ", direction)); }
    int GetSearchDirection() const override { return s.search; }
    BOOL IsPlayMode(int mode) const override { return mode == s.playMode || mode == s.orderMode; }
    BOOL RequestPlayMode(int mode) override { return Did(Say("mode ", mode)); }
    int GetTrackTotal() const override { return s.total; }
    int GetTrackNumber() const override { return s.number; }
    BOOL IsDeviceReady() const override { return s.ready; }
    BOOL IsDeviceFailed() const override { return s.failed; }
    BOOL IsConnecting() const override { return s.connecting; }
    BOOL ConnectDevice() override { return Did("connect"); }
    BOOL HasError() const override { return s.error; }
    BOOL HasRootNode() const override { return s.root; }
    BOOL IsListLoaded() const override { return s.listLoaded; }
    BOOL IsTargetPending() const override { return s.pending; }
    BOOL HasValidTarget() const override { return s.validTarget; }
    void SelectFirstTarget() override { Did("first target"); }
    void SelectCurrentIndex() override { Did("select current"); }
    void FollowCurrentNode() override { Did("follow node"); }
    BOOL HasList() const override { return s.hasList; }
    void RequestList() override { Did("list"); }
    IxString GetInfoText(int which) const override { return IxString(which == 0 ? s.info1 : s.info2); }
    BOOL HasVideoLayout() const override { return s.videoLayout; }
    BOOL GetVideoRect(RECT* out) const override
    {
        *out = s.video;
        return s.video.right > s.video.left;
    }
    void SetUpdateInterval(int ms) override { log->push_back(Say("interval ", ms)); }
    void FirstShow(int arg) override { log->push_back(Say("first show ", arg)); }
    void ResumeScreen(int zone) override { log->push_back(Say("resume ", zone)); }
    void PauseScreen(int zone) override { log->push_back(Say("pause screen ", zone)); }
    void DetachScreen() override { Did("detach"); }
    DWORD TakeSource(DWORD* granted, DWORD flags, int zone) override
    {
        log->push_back(Say("take ", flags) + Say(" zone ", zone));
        return IxModel::TakeSource(granted, flags, zone);
    }
    DWORD ReleaseSource(DWORD* granted, DWORD flags, int zone) override
    {
        log->push_back(Say("give back ", flags) + Say(" zone ", zone));
        return IxModel::ReleaseSource(granted, flags, zone);
    }
    void SetStatusBits(DWORD bits) { m_dwStatus = bits; }

    Log* log;
    // What the model answers; a test sets it before it shows the sheet.
    struct State {
        int playState = SPS_NONE;
        BOOL active = FALSE;
        int length = 0;
        int position = -1;
        int search = -1;
        int playMode = SPM_NONE;
        int orderMode = SPM_ORDERNONE;
        int total = -1;
        int number = -1;
        BOOL ready = TRUE, failed = FALSE, connecting = FALSE, error = FALSE;
        BOOL root = FALSE, listLoaded = TRUE, pending = FALSE, validTarget = TRUE, hasList = FALSE;
        BOOL videoLayout = FALSE;
        RECT video{0, 0, 0, 0};
        const char16_t* info1 = u"";
        const char16_t* info2 = u"";
    } s;

private:
    BOOL Did(const std::string& what)
    {
        log->push_back(what);
        return TRUE;
    }
};

// A source sheet that logs the video state it is told.
class TestSheet : public CSourceSheet {
public:
    TestSheet(int messageTime, int popupInterval, IxSourceModel* model, Log* log)
        : CSourceSheet(messageTime, popupInterval, model), log(log)
    {
    }
    void ShowVideoState(BOOL on) override { log->push_back(Say("video ", on)); }
    Log* log;
};

// Child ids of the numbered panels: kPanelBase + n.
inline constexpr int kPanelBase = 9100;
inline constexpr int kSheetId = 5341;

class SourceSheetFixture : public frametest::FrameScreenshotTest {
protected:
    void SetUp() override
    {
        FrameScreenshotTest::SetUp();
        static IX_STATIC_STRING(kFace, u"NanumGothic");
        IxFontTable& fonts = frame->GetFontTable();
        fonts.Add(IxFontEntry{IXFS_ANTIALIAS, -26, &kFace, RGB(255, 255, 255), nullptr});
        fonts.Add(IxFontEntry{IXFS_ANTIALIAS, -40, &kFace, RGB(255, 255, 255), nullptr});
        center = std::make_unique<IxModelCenter>(50, 50, 0, 0);
        model = new FakeSource(&log);
    }
    void TearDown() override
    {
        if (sheet && frame->IsLayerShown(kSheetId))
            frame->PopLayer(kSheetId);
        Pump();
        sheet = nullptr;
        center->ReleaseAllModels();
        model->Release();
        center.reset();
        FrameScreenshotTest::TearDown();
    }
    template <class T> T* Place(IxView* parent, T* element, int id, RECT rc, DWORD flags = 0)
    {
        element->SetId(id);
        element->SetRectNow(rc);
        element->SetFlags(flags, IXF_PENDING);
        parent->AddChild(element);
        return element;
    }
    IxStaticText* Text(IxView* parent, int id, RECT rc, int font = 0, DWORD flags = IXF_VCENTER)
    {
        auto* label = Place(parent, new IxStaticText, id, rc, flags);
        label->SetProperty(IXP_FONT, font);
        return label;
    }
    // A transport button: a coloured box with its label.
    void Button(int id, const char16_t* text, COLORREF colour)
    {
        auto* button = Place(sheet, new frametest::Sheet(id, RECT{}), id, RECT{320, 380, 480, 456});
        button->SetBackground(new IxColorImage(colour, 160, 76));
        Text(button, 0, RECT{0, 0, 160, 76}, 0, IXF_VCENTER | IXF_HCENTER);
        IxString label(text);
        dynamic_cast<IxTextLabel*>(IxElement::FromNode(button->Children().Head()))
            ->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&label));
    }
    void SetLabel(int id, const char16_t* text)
    {
        IxString label(text);
        if (IxElement* child = sheet->FindElement(IXFIND_ID, id, nullptr, sheet, sheet))
            child->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&label));
    }
    // The sheet with its standard children (each can be left out) and the
    // panels 1 to 13 as its indicators.
    TestSheet* MakeSheet(int messageTime = 4000, int popupInterval = 1000, std::vector<int> without = {})
    {
        auto lacks = [&](int id) { return std::find(without.begin(), without.end(), id) != without.end(); };
        sheet = new TestSheet(messageTime, popupInterval, model, &log);
        sheet->SetId(kSheetId);
        sheet->SetRectNow(RECT{0, 0, 800, 480});
        sheet->SetFlags(0, IXF_PENDING);
        sheet->SetBackground(new IxColorImage(RGB(20, 24, 32), 800, 480));
        if (!lacks(MSC_PLAY))
            Button(MSC_PLAY, u"▶ 재생", RGB(40, 130, 70));
        if (!lacks(MSC_PAUSE))
            Button(MSC_PAUSE, u"Ⅱ 일시정지", RGB(190, 120, 30));
        if (!lacks(MSC_PROGRESS)) {
            bar = Place(sheet, new CModelProgressBar(model), MSC_PROGRESS, RECT{150, 330, 650, 352});
            bar->SetTrack(8, 492);
            bar->SetBarImages(new IxColorImage(RGB(240, 240, 240), 500, 8), new IxColorImage(RGB(80, 86, 100), 500, 8),
                              nullptr, nullptr, 15);
            bar->SetThumbImage(new IxColorImage(RGB(255, 200, 40), 16, 22), 22);
        }
        if (!lacks(MSC_POSITION))
            Text(sheet, MSC_POSITION, RECT{20, 326, 140, 356}, 0, IXF_VCENTER | IXF_HEND);
        if (!lacks(MSC_LENGTH))
            Text(sheet, MSC_LENGTH, RECT{660, 326, 780, 356});
        if (!lacks(MSC_TRACKNUMBER))
            Text(sheet, MSC_TRACKNUMBER, RECT{20, 20, 80, 60}, 0, IXF_VCENTER | IXF_HEND);
        if (!lacks(MSC_TRACKTOTAL)) {
            Text(sheet, 9001, RECT{80, 20, 100, 60}, 0, IXF_VCENTER | IXF_HCENTER);
            Text(sheet, MSC_TRACKTOTAL, RECT{100, 20, 180, 60});
            SetLabel(9001, u"/");
        }
        if (!lacks(MSC_INFO1))
            Text(sheet, MSC_INFO1, RECT{240, 12, 780, 60}, 1);
        if (!lacks(MSC_INFO2))
            Text(sheet, MSC_INFO2, RECT{240, 60, 780, 100});
        if (!lacks(MSC_PARKBRAKE))
            Place(sheet, new frametest::ColorBox(0, RECT{}, RGB(220, 40, 40)), MSC_PARKBRAKE, RECT{20, 400, 60, 440});
        for (int n = MSP_CONNECTING; n <= MSP_MESSAGE; ++n) {
            Place(sheet, new frametest::ColorBox(0, RECT{}, RGB(90, 96, 110)), kPanelBase + n,
                  RECT{600 + (n % 7) * 24, 400 + (n / 7) * 24, 620 + (n % 7) * 24, 420 + (n / 7) * 24}, IXF_HIDDEN);
            sheet->AddIconIndicator(n, kPanelBase + n, 0, 0);
        }
        return sheet;
    }
    // Pushes the sheet and paints, so that it is attached, shown and
    // started.
    void Push()
    {
        ASSERT_TRUE(frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN));
        Repaint();
    }
    void Post(int kind, LPARAM value)
    {
        model->Notify(kind, value);
        IxGetKernel()->DrainQueue();
        frame->SyncTimers();
    }
    void Tick(int ms)
    {
        clock.Advance(static_cast<std::uint64_t>(ms));
        Pump();
    }
    Log Take()
    {
        Log out;
        out.swap(log);
        return out;
    }
    IxElement* Child(int id) { return sheet->FindElement(IXFIND_ID, id, nullptr, sheet, sheet); }
    bool Visible(int id)
    {
        IxElement* child = Child(id);
        return child && !child->HasFlag(IXF_HIDDEN);
    }
    std::string TextOf(int id)
    {
        auto* label = dynamic_cast<IxTextLabel*>(Child(id));
        if (!label)
            return "-";
        std::string out;
        for (const char16_t* p = label->GetText().Text(); *p; ++p)
            out.push_back(static_cast<char>(*p));
        return out;
    }
    // The numbered panels shown, as "n n ...".
    std::string Panels()
    {
        std::string out;
        for (int n = MSP_CONNECTING; n <= MSP_MESSAGE; ++n)
            if (Visible(kPanelBase + n)) {
                if (!out.empty())
                    out.push_back(' ');
                out += std::to_string(n);
            }
        return out;
    }

    platform::ManualClock clock{100000};
    Log log;
    std::unique_ptr<IxModelCenter> center;
    FakeSource* model = nullptr;
    TestSheet* sheet = nullptr;
    CModelProgressBar* bar = nullptr;
};

} // namespace sheettest
