#include "Source/gate/GateSheet.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/gate/GateEgl.h"
#include "Source/gate/GateGL.h"
#include "Source/gate/GateUiLayer.h"
#include "Source/models/ModelCenterBase.h"
#include "Source/models/ModelCodes.h"
#include "platform/base/Text.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/Screen.h"

#include <GLES/gl.h>

namespace gate {
namespace {

bool Between(int value, int low, int high)
{
    return value >= low && value <= high;
}

// The touch bands, screen pixels with both edges inside.
struct Band {
    int left, right;
    GateButtonId id;
};
constexpr int kMainTop = 281, kMainBottom = 479;
const Band kMainBands[] = {
    {36, 159, GateButtonId::Navigation}, {171, 314, GateButtonId::Broadcasting}, {326, 459, GateButtonId::Multimedia},
    {471, 599, GateButtonId::Devices},   {611, 759, GateButtonId::Settings},
};
constexpr int kTitleTop = 1, kTitleBottom = 61;
const Band kTitleBands[] = {
    {1, 108, GateButtonId::AvOnOff},
    {110, 208, GateButtonId::DisplayOff},
    {210, 308, GateButtonId::Dual},
    {669, 799, GateButtonId::Close},
};
constexpr int kSubTop = 90, kSubBottom = 200;
// Four columns for broadcasting, multimedia and devices ("add" has none),
// five for settings.
const int kFourColumns[4][2] = {{186, 288}, {295, 397}, {403, 505}, {512, 614}};
const int kFiveColumns[5][2] = {{132, 234}, {241, 343}, {349, 451}, {458, 560}, {567, 669}};
// The volume popup's minus and plus buttons.
constexpr int kVolumeTop = 195, kVolumeBottom = 256;
constexpr int kMinusLeft = 193, kMinusRight = 256, kPlusLeft = 545, kPlusRight = 608;
// The popups' OK button, and the popup itself.
constexpr int kOkLeft = 279, kOkRight = 522, kOkTop = 339, kOkBottom = 389;
constexpr int kPopupLeft = 139, kPopupRight = 661, kPopupTop = 84, kPopupBottom = 479;

// What a sub-button opens.
struct Selection {
    GateButtonId id;
    const char16_t* log;
    int view;
};
const Selection kSelections[] = {
    {GateButtonId::Fm, u"[3dGate] Selection : btnFM\r\n", FID_FM},
    {GateButtonId::Am, u"[3dGate] Selection : btnAM\r\n", FID_AM},
    {GateButtonId::Dmb, u"[3dGate] Selection : btnDMB\r\n", FID_DMB},
    {GateButtonId::Dab, u"[3dGate] Selection :btnDAB \r\n", FID_DAB},
    {GateButtonId::Video, u"[3dGate] Selection : btnVideo\r\n", FID_MOVIE},
    {GateButtonId::Audio, u"[3dGate] Selection : btnAudio\r\n", FID_MUSIC},
    {GateButtonId::Photo, u"[3dGate] Selection : btnPhoto\r\n", FID_PHOTO},
    {GateButtonId::Dvd, u"[3dGate] Selection : btnDVD\r\n", FID_DVD},
    {GateButtonId::Camera, u"[3dGate] Selection : btnCamera\r\n", FID_CAMERA_FIRST},
    {GateButtonId::Ipod, u"[3dGate] Selection : btnIPad\r\n", FID_IPOD},
    {GateButtonId::Aux, u"[3dGate] Selection : btnAux\r\n", FID_AUX},
    {GateButtonId::Bluetooth, u"[3dGate] Selection : btnBT\r\n", FID_BLUETOOTH},
    {GateButtonId::ButtonLight, u"[3dGate] Selection : btnSetLight\r\n", FID_SET_BUTTONLIGHT},
    {GateButtonId::Display, u"[3dGate] Selection : btnSetScreen\r\n", FID_SET_DISPLAY},
    {GateButtonId::AudioSettings, u"[3dGate] Selection : btnSetAudio\r\n", FID_SET_AUDIO},
    {GateButtonId::System, u"[3dGate] Selection : btnSetSystem\r\n", FID_SET_SYSTEM},
    {GateButtonId::DvdSettings, u"[3dGate] Selection : btnSetDVD\r\n", FID_SET_DVD},
};

// The sub-button under x in the mode's row; None between the columns.
GateButtonId ColumnAt(GateMode mode, int x)
{
    GateButtonId first;
    switch (mode) {
    case GateMode::Broadcasting:
        first = GateButtonId::Fm;
        break;
    case GateMode::Multimedia:
        first = GateButtonId::Video;
        break;
    case GateMode::Devices:
        first = GateButtonId::Camera;
        break;
    case GateMode::Settings:
        for (int c = 0; c < 5; ++c)
            if (Between(x, kFiveColumns[c][0], kFiveColumns[c][1]))
                return static_cast<GateButtonId>(static_cast<int>(GateButtonId::ButtonLight) + c);
        return GateButtonId::None;
    default:
        return GateButtonId::None;
    }
    for (int c = 0; c < 4; ++c)
        if (Between(x, kFourColumns[c][0], kFourColumns[c][1]))
            return static_cast<GateButtonId>(static_cast<int>(first) + c);
    return GateButtonId::None;
}

// The first sub-button of the mode's row; None for navigation.
GateButtonId RowStart(GateMode mode)
{
    switch (mode) {
    case GateMode::Broadcasting:
        return GateButtonId::Fm;
    case GateMode::Multimedia:
        return GateButtonId::Video;
    case GateMode::Devices:
        return GateButtonId::Camera;
    case GateMode::Settings:
        return GateButtonId::ButtonLight;
    default:
        return GateButtonId::None;
    }
}

GateButtonId BandAt(const Band* bands, std::size_t count, int x)
{
    for (std::size_t i = 0; i < count; ++i)
        if (Between(x, bands[i].left, bands[i].right))
            return bands[i].id;
    return GateButtonId::None;
}

// The colour key as the windows draw it: the screen's gate layer beneath
// shows where it lies.
constexpr COLORREF kColorKey = 0xF800F8;
static_assert(platform::Rgb565(GetRValue(kColorKey), GetGValue(kColorKey), GetBValue(kColorKey))
              == platform::kColorKey565);

IxModelCenter* Center()
{
    return IxModelCenter::GetInstance();
}

} // namespace

CGateSheet::CGateSheet(IxGateShell* shell) : IxIdleFrameView(-kIdleMs, IXA_BACK), m_pShell(shell)
{
    m_nId = FID_GATE;
    SetRectNow(RECT{0, 0, platform::kScreenWidth, platform::kScreenHeight});
    SetFlags(0, IXF_PENDING);
    const DWORD table[] = {IxActionWord(ACMD_VOLUMEUP, 0),
                           IxActionWord(ACMD_VOLUMEDOWN, 0),
                           IxActionWord(ACMD_VOLUMEPOPUPCLOSE, AEV_DEFAULT),
                           IxActionWord(ACMD_TILTWITHDISC, AEV_DEFAULT),
                           IxActionWord(ACMD_BTCALLPOPUP, AEV_DEFAULT),
                           IxActionWord(ACMD_NAVIWARNINGCLOSED, AEV_DEFAULT),
                           0};
    static_assert(sizeof table == sizeof m_listenerTable);
    for (std::size_t i = 0; i < std::size(table); ++i)
        m_listenerTable[i] = table[i];

    // The display and the pictures are set up by the loader thread, so that
    // the unit's first screens are not held up; this thread takes the
    // context when the menu first comes up.
    IxGateShell* hooks = m_pShell;
    m_table = std::make_unique<GateImageTable>(
        m_scene.Images(), [hooks] { return hooks ? hooks->GetGateBackgroundPath() : std::u16string(); },
        [hooks] {
            if (hooks)
                hooks->GateImagesLoaded();
        });
    m_lpLoader = std::make_unique<GateLoaderThread>(*m_table);
    m_scene.SetLoader(m_lpLoader.get());
    // The loader starts at the first timer round, which comes after the
    // unit's first paint: setting the display up beside that paint would
    // slow it.
    SetElementTimer(this, LoaderTimerId(), 1);
    IxTrace(u"[CGateSheet] Constructor End \r\n");
}

CGateSheet::~CGateSheet()
{
    KillElementTimer(this, LoaderTimerId());
    // The loader writes into the scene's images: it ends before they go.
    m_scene.SetLoader(nullptr);
    m_lpLoader->Stop(INFINITE);
    m_lpLoader.reset();
}

int CGateSheet::OnCreate(const IxElementParams*)
{
    return 1;
}

void CGateSheet::Draw(IxPaintRecord* record)
{
    if (HBRUSH brush = CreateSolidBrush(kColorKey)) {
        RECT all{0, 0, Width(), Height()};
        FillRect(record->dc->GetDC(), &all, brush);
        DeleteObject(brush);
    }
}

// ---------------------------------------------------------------------------
// Views and buttons

GateButtonId CGateSheet::ViewToButton(int viewId)
{
    struct Range {
        int first, last;
        GateButtonId button;
    };
    static const Range kRanges[] = {
        {FID_NAVI_FIRST, FID_NAVI_LAST, GateButtonId::Navigation},
        {FID_FM, FID_FM_LAST, GateButtonId::Fm},
        {FID_AM, FID_AM_LAST, GateButtonId::Am},
        {FID_DMB, FID_DMB, GateButtonId::Dmb},
        {FID_DAB, FID_DAB, GateButtonId::Dab},
        {FID_MOVIE, FID_MOVIE, GateButtonId::Video},
        {FID_MUSIC, FID_MUSIC, GateButtonId::Audio},
        {FID_PHOTO, FID_PHOTO, GateButtonId::Photo},
        {FID_DVD, FID_DVD_LAST, GateButtonId::Dvd},
        {FID_CAMERA_FIRST, FID_CAMERA_LAST, GateButtonId::Camera},
        {FID_IPOD, FID_IPOD_LAST, GateButtonId::Ipod},
        {FID_AUX, FID_AUX_LAST, GateButtonId::Aux},
        {FID_BLUETOOTH, FID_BLUETOOTH_LAST, GateButtonId::Bluetooth},
    };
    for (const Range& range : kRanges)
        if (Between(viewId, range.first, range.last))
            return range.button;
    IxTrace(u"[3dGate] Error (Mapping FID onto ButtonID) : Unknown Fid \n");
    return GateButtonId::None;
}

GateMode CGateSheet::ModeForView(int viewId)
{
    if (Between(viewId, FID_NAVI_FIRST, FID_NAVI_LAST))
        return GateMode::Navigation;
    if (Between(viewId, FID_RADIO_FIRST, FID_RADIO_LAST) || Between(viewId, FID_DMB, FID_DAB))
        return GateMode::Broadcasting;
    if (Between(viewId, FID_FILES, FID_PHOTO) || Between(viewId, FID_DVD, FID_DVD_LAST))
        return GateMode::Multimedia;
    if (Between(viewId, FID_AUX, FID_AUX_LAST) || Between(viewId, FID_IPOD, FID_IPOD_LAST)
        || Between(viewId, FID_BLUETOOTH, FID_BLUETOOTH_LAST) || Between(viewId, FID_CAMERA_FIRST, FID_CAMERA_LAST))
        return GateMode::Devices;
    return GateMode::Settings;
}

void CGateSheet::StartLoader()
{
    KillElementTimer(this, LoaderTimerId());
    if (m_bLoaderStarted)
        return;
    m_bLoaderStarted = TRUE;
    m_lpLoader->Start(kLoaderPriority);
}

void CGateSheet::EnsureGroup(int group)
{
    StartLoader();
    if (m_scene.IsGroupLoaded(group))
        return;
    m_lpLoader->SetPriority(kLoaderPriority);
    m_scene.WaitUntilResFinished(group);
    m_lpLoader->SetPriority(kLoaderPriority);
}

void CGateSheet::RestoreModeFromLastView()
{
    const int view = m_pShell ? m_pShell->GetLastSourceView(1) : 0;
    const GateButtonId button = ViewToButton(view);
    const GateMode mode = ModeForView(view);
    EnsureGroup(static_cast<int>(mode));
    m_scene.SetMode(mode, button);
}

// ---------------------------------------------------------------------------
// Events

LRESULT CGateSheet::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_ATTACHED:
        OnAttached();
        break;
    case IXEV_TIMER:
        OnTimer(static_cast<UINT_PTR>(param));
        break;
    case IXEV_DETACHED:
        OnDetached();
        break;
    default:
        break;
    }
    return IxIdleFrameView::OnEvent(code, param);
}

void CGateSheet::OnAttached()
{
    if (IxKernel* kernel = IxGetKernel()) {
        kernel->Subscribe(IXA_DEVICEEVENT, this);
        kernel->AddListener(m_listenerTable, this);
    }
    m_bVolumeMode = m_bPopup1 = m_bPopup2 = FALSE;
    m_scene.HidePopup1();
    m_scene.HidePopup2();
    if (IsLayerShown(FID_VOLUME))
        PopLayerLater(FID_VOLUME);
    m_scene.SetAvFlag(m_pShell ? m_pShell->IsAvOff() : FALSE);
    SetElementTimer(this, FrameTimerId(), m_nFrameInterval);
    IxTrace(u"\x1b[33m[3d Gate]GetLastView() : %d \x1b[0m\r\n", m_pShell ? m_pShell->GetLastSourceView(1) : 0);
    RestoreModeFromLastView();
    TakeContext();
    m_scene.SetBackground(m_table->BackgroundPath());
    // The windows' painting stops once this sheet's colour key is on the
    // screen: at the first frame.
    m_bPaintLocked = FALSE;
    SetGateUILayer(0);
}

void CGateSheet::OnDetached()
{
    if (IxKernel* kernel = IxGetKernel()) {
        kernel->Unsubscribe(IXA_DEVICEEVENT, this);
        kernel->RemoveListener(m_listenerTable, this);
    }
    KillElementTimer(this, FrameTimerId());
    SuspendGateRendering();
    m_scene.HideVolume();
    if (m_bPaintLocked) {
        if (IxKernel* kernel = IxGetKernel())
            kernel->Service(IXSVC_PAINTLOCK, nullptr, 0);
        m_bPaintLocked = FALSE;
    }
    m_bVolumeMode = m_bPopup1 = m_bPopup2 = FALSE;
}

void CGateSheet::OnTimer(UINT_PTR id)
{
    if (id == FrameTimerId()) {
        // The layer can be switched off while the menu stays (the rear-view
        // camera takes the screen above it): the windows paint again until
        // the layer is back.
        const BOOL shown = !IsGateRenderingSuspended() && GetGateUILayerFlag();
        if (shown != m_bPaintLocked) {
            if (IxKernel* kernel = IxGetKernel())
                kernel->Service(IXSVC_PAINTLOCK, nullptr, shown ? 1 : 0);
            m_bPaintLocked = shown;
        }
        if (shown)
            RenderFrame();
    } else if (id == RepeatTimerId()) {
        if (m_nRepeat == GateRepeat::Stop) {
            KillElementTimer(this, RepeatTimerId());
            return;
        }
        if (m_nRepeat == GateRepeat::FirstPending) {
            KillElementTimer(this, RepeatTimerId());
            m_nRepeatInterval = kVolumeRepeatMs;
            SetElementTimer(this, RepeatTimerId(), m_nRepeatInterval);
            m_nRepeat = GateRepeat::Repeating;
        }
        if (m_nVolumeDir != GateVolumeHeld::None)
            StepVolume(m_nVolumeDir == GateVolumeHeld::Down ? -1 : 1);
    } else if (id == LoaderTimerId()) {
        StartLoader();
    } else if (id == OpenTimerId()) {
        KillElementTimer(this, OpenTimerId());
        if (m_nNextView > 0)
            Queue(m_nNextView);
    }
}

void CGateSheet::TakeContext()
{
    if (m_bContextTaken || !GateEgl::MakeCurrent())
        return;
    GateGL::InitState();
    m_bContextTaken = TRUE;
}

void CGateSheet::RenderFrame()
{
    TakeContext();
    auto lock = GateGL::Lock();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    m_scene.Render();
    GateEgl::Swap();
}

// ---------------------------------------------------------------------------
// Actions

void CGateSheet::Queue(int code)
{
    PushGlobalAction(code & 0xFFFF, AEV_DEFAULT, 0);
}

void CGateSheet::QueueBack()
{
    IxKernel::MarkUpdateAll(this);
    PostBackCommand(m_nId);
}

int CGateSheet::ActionIsInvoked(int code, int kind, LPARAM param)
{
    if (code == IXA_DEVICEEVENT) {
        if (kind == AEV_DEFAULT && param == kGateLeaveDeviceEvent) {
            QueueBack();
            if (IxKernel* kernel = IxGetKernel())
                kernel->DrainQueue();
        }
        return 0;
    }
    if (code == ACMD_VOLUMEUP || code == ACMD_VOLUMEDOWN) {
        m_bVolumeMode = TRUE;
        if (kind == AEV_SHORTPRESS || kind == AEV_LONGPRESS || kind == AEV_HOLDREPEAT)
            ShowVolume(Center() ? Center()->GetVolumeStep(ZONE_MAIN) : 0);
    } else if (code == ACMD_BTCALLPOPUP) {
        QueueBack();
    } else if (code == ACMD_TILTWITHDISC) {
        EnsureGroup(kGatePopupGroup);
        m_scene.ShowPopup2();
        m_bPopup2 = TRUE;
    } else if (code == ACMD_VOLUMEPOPUPCLOSE) {
        m_bVolumeMode = FALSE;
        m_scene.HideVolume();
    }
    return IxIdleFrameView::ActionIsInvoked(code, kind, param);
}

void CGateSheet::ShowVolume(int step)
{
    EnsureGroup(kGateVolumeGroup);
    if (!m_pShell || !m_pShell->IsVolumePopupBlocked())
        m_scene.ShowVolume(step);
}

void CGateSheet::StepVolume(int step)
{
    IxModelCenter* center = Center();
    if (!center)
        return;
    center->StepVolume(step);
    ShowVolume(center->GetVolumeStep(ZONE_MAIN));
}

void CGateSheet::HidePopups()
{
    m_scene.HidePopup1();
    m_scene.HidePopup2();
    m_bPopup1 = m_bPopup2 = FALSE;
}

// ---------------------------------------------------------------------------
// Touch

int CGateSheet::OnInput(int code, LPARAM data)
{
    const auto* at = reinterpret_cast<const POINT*>(data);
    const POINT pt = at ? *at : POINT{-1, -1};
    switch (code) {
    case IXIN_DOWN:
        if (m_bVolumeMode) {
            VolumeDown(pt);
        } else if (m_bPopup1 || m_bPopup2) {
            PopupDown(pt);
        } else {
            // The sub-button a touch-up may select is the one this touch
            // pressed, never one an earlier touch left behind.
            m_nPressedButton = GateButtonId::None;
            MainButtonDown(pt);
            TitleDown(pt);
            SubButtonDown(pt);
        }
        return IXGM_TRACK;
    case IXIN_MOVE:
        return 1;
    case IXIN_UP:
    case IXIN_TAP:
        if (m_bVolumeMode) {
            VolumeUp(pt);
        } else if (m_bPopup1 || m_bPopup2) {
            PopupUp(pt);
        } else {
            TitleUp(pt);
            Select(pt);
        }
        return 0;
    default:
        return 0;
    }
}

void CGateSheet::MainButtonDown(POINT pt)
{
    if (!Between(pt.y, kMainTop, kMainBottom))
        return;
    const GateButtonId button = BandAt(kMainBands, std::size(kMainBands), pt.x);
    if (button == GateButtonId::None)
        return;
    const int group = static_cast<int>(button);
    if (button != GateButtonId::Navigation) {
        EnsureGroup(group);
        IxKernel::MarkUpdateAll(this);
        m_scene.Press(button, TRUE);
        return;
    }
    EnsureGroup(group);
    m_scene.Press(button, TRUE);
    IxKernel::MarkUpdateAll(this);
    Queue(ACMD_NAVIMAP);
    IxModelCenter* center = Center();
    if (center && center->GetState(kGateNaviCardDevice) == kGateNaviCardReady)
        return;
    EnsureGroup(kGatePopupGroup);
    m_scene.ShowPopup1();
    m_bPopup1 = TRUE;
}

void CGateSheet::TitleDown(POINT pt)
{
    if (!Between(pt.y, kTitleTop, kTitleBottom))
        return;
    const GateButtonId button = BandAt(kTitleBands, std::size(kTitleBands), pt.x);
    if (button != GateButtonId::None)
        m_scene.Press(button, TRUE);
}

BOOL CGateSheet::TitleUp(POINT pt)
{
    if (!Between(pt.y, kTitleTop, kTitleBottom))
        return FALSE;
    const GateButtonId button = BandAt(kTitleBands, std::size(kTitleBands), pt.x);
    if (button == GateButtonId::None || m_scene.GetPressed() != button)
        return FALSE;
    switch (button) {
    case GateButtonId::AvOnOff:
        m_scene.SetAvFlag(!m_scene.GetAvFlag());
        IxTrace(u"[3dGate] Selection : btnAccOnOff\r\n");
        IxKernel::MarkUpdateAll(this);
        Queue(ACMD_AVTOGGLE);
        break;
    case GateButtonId::DisplayOff:
        IxTrace(u"[3dGate] Selection : btnPowerOff\r\n");
        Queue(ACMD_COVERSHOW);
        break;
    case GateButtonId::Dual:
        IxTrace(u"[3dGate] Selection : btnDual\r\n");
        Queue(FID_DUALZONE);
        break;
    default:
        QueueBack();
        break;
    }
    return TRUE;
}

void CGateSheet::SubButtonDown(POINT pt)
{
    if (!Between(pt.y, kSubTop, kSubBottom))
        return;
    const GateButtonId button = ColumnAt(m_scene.GetMode(), pt.x);
    if (button == GateButtonId::None)
        return;
    m_nPressedButton = button;
    m_scene.Press(button, TRUE);
}

void CGateSheet::Select(POINT pt)
{
    m_nNextView = -1;
    const GateMode mode = m_scene.GetMode();
    if (m_nPressedButton != GateButtonId::None && Between(pt.y, kSubTop, kSubBottom)
        && ColumnAt(mode, pt.x) == m_nPressedButton) {
        for (const Selection& selection : kSelections) {
            if (selection.id != m_nPressedButton)
                continue;
            IxTrace(selection.log);
            m_scene.SetMode(mode, selection.id);
            IxKernel::MarkUpdateAll(this);
            m_nNextView = selection.view;
            SetElementTimer(this, OpenTimerId(), m_nOpenInterval);
            return;
        }
    }
    const GateButtonId first = RowStart(mode);
    if (first != GateButtonId::None)
        m_scene.Press(first, FALSE);
}

void CGateSheet::VolumeDown(POINT pt)
{
    m_scene.SetVolumeButtons(FALSE, FALSE);
    const bool band = Between(pt.y, kVolumeTop, kVolumeBottom);
    const bool minus = band && Between(pt.x, kMinusLeft, kMinusRight);
    const bool plus = band && Between(pt.x, kPlusLeft, kPlusRight);
    if (!minus && !plus) {
        m_nVolumeDir = GateVolumeHeld::None;
        m_bVolumeMode = FALSE;
        m_scene.HideVolume();
        return;
    }
    IxKernel::MarkUpdateAll(this);
    m_nRepeatInterval = kVolumeFirstRepeatMs;
    SetElementTimer(this, RepeatTimerId(), m_nRepeatInterval);
    m_nRepeat = GateRepeat::FirstPending;
    m_scene.SetVolumeButtons(minus ? TRUE : FALSE, plus ? TRUE : FALSE);
    m_nVolumeDir = minus ? GateVolumeHeld::Down : GateVolumeHeld::Up;
}

void CGateSheet::VolumeUp(POINT pt)
{
    m_scene.SetVolumeButtons(FALSE, FALSE);
    m_nRepeat = GateRepeat::Stop;
    const bool band = Between(pt.y, kVolumeTop, kVolumeBottom);
    if (!band && m_nVolumeDir == GateVolumeHeld::None)
        return;
    int step = 0;
    if ((band && Between(pt.x, kMinusLeft, kMinusRight)) || m_nVolumeDir == GateVolumeHeld::Down)
        step = -1;
    else if ((band && Between(pt.x, kPlusLeft, kPlusRight)) || m_nVolumeDir == GateVolumeHeld::Up)
        step = 1;
    // The release ends the repeat: its own step is the last.
    KillElementTimer(this, RepeatTimerId());
    m_nVolumeDir = GateVolumeHeld::None;
    if (step != 0)
        StepVolume(step);
}

void CGateSheet::PopupDown(POINT pt)
{
    if (Between(pt.x, kOkLeft, kOkRight) && Between(pt.y, kOkTop, kOkBottom)) {
        IxKernel::MarkUpdateAll(this);
        m_scene.SetOkPressed(TRUE);
        return;
    }
    HidePopups();
}

void CGateSheet::PopupUp(POINT pt)
{
    if (!Between(pt.x, kPopupLeft, kPopupRight) || !Between(pt.y, kPopupTop, kPopupBottom))
        return;
    m_scene.SetOkPressed(FALSE);
    HidePopups();
}

} // namespace gate
