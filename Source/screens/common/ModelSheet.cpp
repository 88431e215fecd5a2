#include "Source/screens/common/ModelSheet.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/fs/TextPattern.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/models/ModelCenterBase.h"
#include "Source/models/ModelCodes.h"

#include <cstdlib>
#include <string>

namespace {

// The one pattern of the position and length texts, shared by every sheet.
const IxString& TimePattern()
{
    static const IxString pattern(u"<hour%02d>:<min%02d>:<sec%02d>");
    return pattern;
}

void AppendNumber(std::u16string& out, int value)
{
    const std::string digits = std::to_string(value);
    for (char c : digits)
        out.push_back(static_cast<char16_t>(c));
}

IxString NumberText(int value)
{
    std::u16string text;
    AppendNumber(text, value);
    return IxString(text.c_str());
}

// The child commands a model sheet listens to.
constexpr int kCommands[] = {
    MSC_PLAY,
    MSC_PAUSE,
    MSC_PREVIOUS,
    MSC_NEXT,
    MSC_SEARCHBACK,
    MSC_SEARCHFORWARD,
    MSC_MODE27,
    MSC_MODE26,
    MSC_MODE25,
    MSC_ORDER30,
    MSC_ORDER29,
    MSC_MESSAGECLOSE1,
    MSC_MESSAGECLOSE1 + 1,
    MSC_MESSAGECLOSE3,
    MSC_SHOWPAGEA,
    MSC_SHOWPAGEB,
    MSC_SHOWPAGEC,
    MSC_VIDEOCONTROLS,
    MSC_STEPPAGEA,
    MSC_STEPPAGEB,
    MSC_STEPPAGEC,
    IXPAGE_C_FIRST,
    IXPAGE_C_FIRST + 1,
    IXPAGE_C_FIRST + 2,
    IXPAGE_C_LAST,
    ACMD_PARKBRAKE,
};

bool InRange(int v, int low, int high)
{
    return v >= low && v <= high;
}

} // namespace

CModelSheet::CModelSheet(int popupInterval, IxSourceModel* model)
    : m_pModel(model), m_nPopupInterval(popupInterval), m_nPopupTimer(popupInterval),
      m_strPositionPattern(TimePattern()), m_strLengthPattern(TimePattern())
{
    if (m_pModel)
        m_pModel->AddRef();
    int i = 0;
    for (int id : kCommands)
        m_filter[i++] = IxActionWord(id, 0);
    m_filter[i] = 0;
}

CModelSheet::~CModelSheet()
{
    if (m_pModel)
        m_pModel->Release();
}

int CModelSheet::OnCreate(const IxElementParams* params)
{
    const int r = IxSheet::OnCreate(params);
    BuildChildren();
    return r;
}

// ---------------------------------------------------------------------------
// Events

void CModelSheet::RememberPages()
{
    const int active = GetActivePageId();
    SetRememberedPages(InRange(active, IXPAGE_A_FIRST, IXPAGE_A_LAST) ? active : IXPAGE_A_FIRST,
                       InRange(active, IXPAGE_B_FIRST, IXPAGE_B_LAST) ? active : IXPAGE_B_FIRST,
                       InRange(active, IXPAGE_C_FIRST, IXPAGE_C_LAST) ? active : IXPAGE_C_FIRST);
}

LRESULT CModelSheet::OnEvent(int code, LPARAM param)
{
    IxKernel* kernel = IxGetKernel();
    switch (code) {
    case IXEV_ATTACHED:
        m_nPopupState = MSU_NONE;
        if (m_pModel && kernel) {
            kernel->AddListener(m_filter, this);
            kernel->Subscribe(m_pModel->GetModelId(), this);
            m_pModel->SetUpdateInterval(m_nUpdateInterval < 1 ? 500 : m_nUpdateInterval);
            if (m_pModel->HasList())
                m_pModel->RequestList();
        }
        RememberPages();
        break;
    case IXEV_CHILDRENATTACHED: {
        IxElementWatch self(this);
        OnShow();
        if (!self.Alive())
            return 0;
        if (IsModelReadyOnMainPage())
            SwitchVideoPageGroup();
        PageShown();
        ShowModeIcons();
        CheckDevice();
        if (m_bTakeAtShow && self.Alive())
            EnterSource();
        if (!self.Alive())
            return 0;
        break;
    }
    case IXEV_RESUMED:
        if (!m_bTakeAtShow)
            EnterSource();
        if (m_pModel)
            m_pModel->ResumeScreen(m_nZone);
        break;
    case IXEV_PAUSED:
        if (!m_pModel) {
            PushGlobalAction(IXA_CLOSEVIEW, AEV_DEFAULT, m_nId);
            break;
        }
        m_pModel->PauseScreen(m_nZone);
        StartSource();
        break;
    case IXEV_DETACHED:
        // A screen that goes takes its message along: the message's end
        // (back or close) belongs to a screen that is still up.
        if (m_nMessageTimer != kMessageIdle) {
            KillElementTimer(this, MessageTimerId());
            m_nMessageTimer = kMessageIdle;
        }
        if (kernel) {
            kernel->RemoveListener(m_filter, this);
            if (m_pModel)
                kernel->Unsubscribe(m_pModel->GetModelId(), this);
        }
        if (m_pModel)
            m_pModel->DetachScreen();
        DetachShared();
        AfterDetach();
        break;
    case IXEV_TIMER: {
        const UINT_PTR id = static_cast<UINT_PTR>(param);
        if (id == DeviceWaitTimerId()) {
            KillElementTimer(this, id);
            if (m_pModel && m_pModel->IsDeviceReady()) {
                DeviceReported(TRUE);
            } else if (m_pModel && m_pModel->IsDeviceFailed()) {
                DeviceReported(FALSE);
                ShowMessage(MSG_DEVICEFAILED);
            }
            return 1;
        }
        if (id == PopupTimerId()) {
            KillElementTimer(this, id);
            if (m_nStatus == MSS_CLOSING) {
                m_nStatus = MSS_IDLE;
                CloseStatusPopup();
                if (m_pModel && m_pModel->HasError())
                    ShowMessage(MSG_MODELERROR);
            } else if (m_nStatus == MSS_CLOSINGREFRESH) {
                m_nStatus = MSS_IDLE;
                CloseStatusPopup();
                ShowMessage(MSG_REFRESHFAILED);
            }
            return 1;
        }
        if (id == MessageTimerId()) {
            CloseMessage();
            return 1;
        }
        break;
    }
    default:
        break;
    }
    return IxSheet::OnEvent(code, param);
}

int CModelSheet::ActionIsInvoked(int code, int kind, LPARAM param)
{
    if (m_pModel && code == IxActionId(static_cast<DWORD>(m_pModel->GetModelId())))
        return OnModelNotice(kind, param);
    return OnChildCommand(code, kind, param);
}

static bool Running(CModelSheet* sheet, UINT_PTR id)
{
    IxKernel* kernel = IxGetKernel();
    return kernel && kernel->IsTimerSet(sheet, id);
}

int CModelSheet::OnModelNotice(int kind, LPARAM value)
{
    const bool hidden = HasFlag(IXF_HIDDEN);
    switch (kind) {
    case SMN_FAILED:
        if (value == SMF_CONNECTION) {
            if (!Running(this, DeviceWaitTimerId()))
                DeviceReported(FALSE);
        } else if (value == SMF_REFRESH) {
            if (Running(this, PopupTimerId())) {
                m_nStatus = MSS_CLOSINGREFRESH;
            } else {
                m_nStatus = MSS_IDLE;
                CloseStatusPopup();
            }
        }
        ShowMessage(static_cast<int>(value));
        break;
    case SMN_NODECOMPLETE:
        if (value == 0) {
            m_nStatus = MSS_NOMEDIA;
            OpenStatusPopup();
        } else if (Running(this, PopupTimerId())) {
            m_nStatus = MSS_CLOSING;
        } else {
            m_nStatus = MSS_IDLE;
            CloseStatusPopup();
            if (m_pModel->HasError())
                ShowMessage(MSG_MODELERROR);
        }
        break;
    case SMN_CONNECTION:
        if (value == SMC_CONNECTED) {
            if (!Running(this, DeviceWaitTimerId()))
                DeviceReported(TRUE);
        } else if (value == SMC_ATTACHED) {
            Connect();
        } else if (value == SMC_DETACHED) {
            ResetView();
        }
        break;
    case SMN_SEEKABLE:
        HideMessagePanels();
        if (m_pModel->HasList())
            m_pModel->RequestList();
        break;
    case SMN_PLAYOUTCOME:
        if (value && InRange(m_nStatus, MSS_NOMEDIA, MSS_CLOSINGREFRESH)) {
            m_nStatus = MSS_IDLE;
            CloseStatusPopup();
        }
        if (!hidden) {
            HideMessagePanels();
            SetInfoText(0, m_pModel->GetInfoText(0));
            SetInfoText(1, m_pModel->GetInfoText(1));
            ShowPlayState(m_pModel->IsPlaying());
            if (Has(MSM_PROGRESS)) {
                if (IxElement* bar = FindElement(IXFIND_ID, MSC_PROGRESS, nullptr, this, this))
                    bar->SetProperty(IXP_SLIDERNORANGE, -1);
            }
            if (IsModelReadyOnMainPage())
                SwitchVideoPageGroup();
            RepaintNow(FALSE);
        }
        break;
    case SMN_LENGTH:
        HideMessagePanels();
        ShowPlayState(m_pModel->IsPlaying());
        if (value > 0)
            ShowLength(static_cast<int>(value));
        break;
    case SMN_PLAYING:
    case SMN_PAUSED:
    case SMN_ENDED:
        ShowPlayState(m_pModel->IsPlaying());
        break;
    case SMN_POSITION:
        ShowPosition(static_cast<int>(value));
        break;
    case SMN_POSITIONNOW:
        ShowPosition(static_cast<int>(value));
        MarkUpdate();
        break;
    case SMN_VIDEOVISIBLE:
    case SMN_VIDEOSUSPENDED:
    case SMN_VIDEOSHOWN:
    case SMN_VIDEOHIDDEN:
        if (hidden || !IsModelReadyOnMainPage())
            break;
        if (kind == SMN_VIDEOVISIBLE) {
            ShowVideoState(TRUE);
        } else if (kind == SMN_VIDEOSHOWN) {
            if (m_pModel->ShowsVideo())
                ShowVideoState(TRUE);
            RepaintNow(FALSE);
        } else {
            ShowVideoState(FALSE);
            if (kind == SMN_VIDEOHIDDEN)
                RepaintNow(FALSE);
        }
        break;
    case SMN_TITLE:
        SetInfoText(1, m_pModel->GetInfoText(1));
        break;
    case SMN_LENGTHCHANGED:
        ShowLength(static_cast<int>(value));
        ShowPosition(m_pModel->GetPlayPosition());
        break;
    case SMN_TRACKTOTAL:
        ShowTrackTotal();
        ShowTrackNumber();
        break;
    case SMN_TRACKNUMBER:
        ShowTrackNumber();
        break;
    case SMN_PLAYMODE:
    case SMN_ORDERMODE:
        ShowModeIcons();
        break;
    default:
        break;
    }
    // Every notification goes on to the model's other screens and parts.
    return 0;
}

void CModelSheet::ToggleMode(int mode, BOOL isOrder)
{
    const int keyMode = GetCurrentCommand();
    const BOOL set = keyMode > 0 || (keyMode == 0 && !m_pModel->IsPlayMode(mode));
    if (set)
        isOrder ? SetOrderMode(mode) : SetPlayMode(mode);
    else
        isOrder ? ClearOrderMode() : ClearPlayMode();
}

int CModelSheet::OnChildCommand(int id, int kind, LPARAM)
{
    if (kind != AEV_DEFAULT)
        return 0;
    switch (id) {
    case ACMD_PARKBRAKE:
        if (IsModelReadyOnMainPage())
            SwitchVideoPageGroup();
        ShowParkBrake(IsParkBrakeApplied());
        return 0; // the park brake is everyone's news
    case MSC_MESSAGECLOSE1:
    case MSC_MESSAGECLOSE1 + 1:
    case MSC_MESSAGECLOSE3:
        CloseMessage();
        return 1;
    case MSC_SHOWPAGEA:
        ShowPageA();
        return 1;
    case MSC_SHOWPAGEB:
        if (!IsParkBrakeApplied())
            ShowPageB();
        return 1;
    case MSC_SHOWPAGEC:
        ShowPageC();
        return 1;
    case MSC_STEPPAGEA:
        NextPageA(0);
        return 1;
    case MSC_STEPPAGEB:
        NextPageB(0);
        return 1;
    case MSC_STEPPAGEC:
        NextPageC(0);
        return 1;
    case MSC_VIDEOCONTROLS:
    case IXPAGE_C_FIRST:
    case IXPAGE_C_FIRST + 1:
    case IXPAGE_C_FIRST + 2:
    case IXPAGE_C_LAST:
        if (InRange(GetActivePageId(), IXPAGE_C_FIRST, IXPAGE_C_LAST))
            SwitchVideoPageGroup();
        else if (id == MSC_VIDEOCONTROLS)
            ShowPageC();
        else
            NextPageC(id);
        return 1;
    default:
        break;
    }
    if (!m_pModel)
        return 0;
    const int keyMode = GetCurrentCommand();
    switch (id) {
    case MSC_PAUSE:
        if (m_pModel->IsPlaying())
            m_pModel->RequestPause();
        else
            m_pModel->PlayCurrent();
        return 1;
    case MSC_PLAY:
        m_pModel->PlayCurrent();
        return 1;
    case MSC_PREVIOUS:
    case MSC_NEXT: {
        if (keyMode == 0) {
            // The press goes first to the bindings, with the buttons whose
            // mode runs: a binding may turn it into ending that mode.
            int active[3] = {};
            int n = 0;
            const int search = m_pModel->GetSearchDirection();
            if (search == 0 || search == 1)
                active[n++] = search == 0 ? MSC_SEARCHBACK : MSC_SEARCHFORWARD;
            if (m_pModel->IsPlayMode(SPM_MODE27))
                active[n++] = MSC_MODE27;
            else if (m_pModel->IsPlayMode(SPM_MODE26))
                active[n++] = MSC_MODE26;
            else if (m_pModel->IsPlayMode(SPM_MODE25))
                active[n++] = MSC_MODE25;
            if (m_pModel->IsPlayMode(SPM_ORDER30))
                active[n++] = MSC_ORDER30;
            else if (m_pModel->IsPlayMode(SPM_ORDER29))
                active[n++] = MSC_ORDER29;
            IxElementWatch self(this);
            if (DispatchChildNotice(id, AEV_DEFAULT, active, n) || !self.Alive())
                return 1;
        }
        RequestSkip(id == MSC_NEXT ? 1 : 0);
        return 1;
    }
    case MSC_SEARCHBACK:
    case MSC_SEARCHFORWARD: {
        const int direction = id == MSC_SEARCHFORWARD ? 1 : 0;
        if (keyMode < 0 || (keyMode == 0 && m_pModel->GetSearchDirection() == direction))
            m_pModel->PlayCurrent();
        else
            RequestSearch(direction);
        return 1;
    }
    case MSC_MODE27:
        ToggleMode(SPM_MODE27, FALSE);
        return 1;
    case MSC_MODE26:
        ToggleMode(SPM_MODE26, FALSE);
        return 1;
    case MSC_MODE25:
        ToggleMode(SPM_MODE25, FALSE);
        return 1;
    case MSC_ORDER30:
        ToggleMode(SPM_ORDER30, TRUE);
        return 1;
    case MSC_ORDER29:
        ToggleMode(SPM_ORDER29, TRUE);
        return 1;
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------
// The device cycle

DWORD CModelSheet::SourceFlags() const
{
    DWORD flags = m_pModel->HasVideoLayout() ? MRF_VIDEO : MRF_TAKEVIDEO;
    if ((m_pModel->GetStatus() & SMS_SILENT) == 0)
        flags |= MRF_AUDIO;
    return flags;
}

void CModelSheet::EnterSource()
{
    IxBroadcast(IXA_VIEWENTERED, AEV_DEFAULT, m_nId);
    if (IxModelCenter* center = IxModelCenter::GetInstance(); center && m_pModel)
        center->RequestSource(m_pModel, SourceFlags(), m_nZone);
}

void CModelSheet::LeaveSource()
{
    if (IxModelCenter* center = IxModelCenter::GetInstance(); center && m_pModel)
        center->ReleaseSource(m_pModel, SourceFlags(), m_nZone);
}

void CModelSheet::CheckDevice()
{
    if (!m_pModel)
        return;
    if (m_pModel->IsDeviceFailed()) {
        m_nStatus = MSS_FAILED;
        ShowMessage(MSG_DEVICEFAILED);
    } else if (!m_pModel->IsDeviceReady()) {
        m_nStatus = MSS_WAITDEVICE;
        OpenConnectingPopup();
    } else if (m_pModel->HasRootNode() && !m_pModel->IsActiveState()
               && (!m_pModel->IsListLoaded() || m_pModel->IsTargetPending())) {
        m_nStatus = MSS_NOMEDIA;
        OpenStatusPopup();
    } else {
        m_nStatus = MSS_IDLE;
    }
    if (!m_pModel->HasValidTarget() && m_pModel->IsListLoaded())
        m_pModel->SelectFirstTarget();
}

void CModelSheet::StartSource()
{
    if (!m_pModel)
        return;
    switch (m_nStatus) {
    case MSS_WAITDEVICE:
        if (!m_pModel->IsConnecting())
            m_pModel->ConnectDevice();
        SetElementTimer(this, DeviceWaitTimerId(), m_nPopupInterval);
        break;
    case MSS_NOMEDIA:
        if (!m_pModel->IsTargetPending())
            CurrentNodeChanged();
        m_pModel->StartPlayback();
        SetElementTimer(this, PopupTimerId(), m_nPopupTimer);
        break;
    case MSS_IDLE:
        m_pModel->PlayPendingSelection();
        m_pModel->StartPlayback();
        break;
    default:
        break;
    }
}

void CModelSheet::DeviceReported(BOOL ready)
{
    CloseConnectingPopup();
    if (!ready || !m_pModel)
        return;
    m_pModel->SelectCurrentIndex();
    if (m_pModel->HasRootNode())
        CurrentNodeChanged();
    m_pModel->StartPlayback();
}

void CModelSheet::Connect()
{
    if (!m_pModel)
        return;
    m_pModel->ConnectDevice();
    if (m_nPopupInterval)
        SetElementTimer(this, DeviceWaitTimerId(), m_nPopupInterval);
}

void CModelSheet::ResetView()
{
    HideMessagePanels();
    CloseStatusPopup();
    CloseConnectingPopup();
    RefreshChildren();
}

void CModelSheet::CurrentNodeChanged()
{
    if (m_pModel)
        m_pModel->FollowCurrentNode();
}

void CModelSheet::OnShow()
{
    if (m_pModel)
        m_pModel->FirstShow(1);
}

// ---------------------------------------------------------------------------
// Pop-ups and messages

void CModelSheet::OpenStatusPopup()
{
    if (m_nPopupState != MSU_NONE)
        return;
    IxElement* popup = MakeStatusPopup();
    if (popup && ShowPopup(this, popup, FALSE)) {
        m_nPopupState = MSU_LAYER;
        return;
    }
    delete popup;
    ShowPanel(MSP_STATUS, TRUE);
    m_nPopupState = MSU_PANEL;
}

void CModelSheet::CloseStatusPopup()
{
    if (m_nPopupState == MSU_NONE)
        return;
    if (m_nPopupState == MSU_LAYER)
        ClosePopup();
    else
        ShowPanel(MSP_STATUS, FALSE);
    m_nPopupState = MSU_NONE;
    StatusPopupClosed();
}

void CModelSheet::OpenConnectingPopup()
{
    IxElement* popup = m_nPopupState == MSU_NONE ? MakeConnectingPopup() : nullptr;
    if (popup && ShowPopup(this, popup, FALSE)) {
        m_nPopupState = MSU_LAYER;
        return;
    }
    delete popup;
    ShowPanel(MSP_CONNECTING, TRUE);
}

void CModelSheet::CloseConnectingPopup()
{
    if (m_nPopupState == MSU_LAYER) {
        ClosePopup();
        m_nPopupState = MSU_NONE;
    }
    ShowPanel(MSP_CONNECTING, FALSE);
    ConnectingPopupClosed();
}

void CModelSheet::HideMessagePanels()
{
    ShowPanel(MSP_MESSAGE8, FALSE);
    ShowPanel(MSP_MESSAGE10, FALSE);
    ShowPanel(MSP_MESSAGE, FALSE);
}

void CModelSheet::ShowMessage(int code)
{
    const int time = MessagePanel(code);
    if (time == 1 || time == -1) {
        // Closes at once: the sheet goes back (1) or closes itself (-1).
        HideMessagePanels();
        if (time < 0)
            PushGlobalAction(IXA_CLOSEVIEW, AEV_DEFAULT, m_nId);
        else if (IxKernel* kernel = IxGetKernel())
            kernel->PostAction(IXA_BACK, AEV_DEFAULT, m_nId);
        return;
    }
    m_nMessageTimer = time;
    if (time != 0)
        SetElementTimer(this, MessageTimerId(), std::abs(time));
}

int CModelSheet::MessagePanel(int code)
{
    if (IxElement* popup = MakeMessagePopup(code)) {
        if (!ShowPopup(this, popup, FALSE))
            delete popup;
        return 0;
    }
    ShowPanel(code == MSG_DEVICEFAILED ? MSP_MESSAGE8 : (code == MSG_MODELERROR ? MSP_MESSAGE10 : MSP_MESSAGE), TRUE);
    return 0;
}

void CModelSheet::CloseMessage()
{
    if (m_nMessageTimer == kMessageIdle)
        return; // no message is up
    KillElementTimer(this, MessageTimerId());
    const int stored = m_nMessageTimer;
    m_nMessageTimer = kMessageIdle;
    HideMessagePanels();
    if (stored < 0)
        PushGlobalAction(IXA_CLOSEVIEW, AEV_DEFAULT, m_nId);
    else if (stored > 0)
        if (IxKernel* kernel = IxGetKernel())
            kernel->PostAction(IXA_BACK, AEV_DEFAULT, m_nId);
}

// ---------------------------------------------------------------------------
// Requests

void CModelSheet::RequestSkip(int direction)
{
    if (m_pModel)
        m_pModel->RequestSkip(direction);
}

void CModelSheet::RequestSearch(int direction)
{
    if (m_pModel)
        m_pModel->RequestSearch(direction);
}

void CModelSheet::SetPlayMode(int mode)
{
    if (m_pModel && !m_pModel->IsPlayMode(mode))
        m_pModel->RequestPlayMode(mode);
}

void CModelSheet::ClearPlayMode()
{
    if (m_pModel && !m_pModel->IsPlayMode(SPM_NONE))
        m_pModel->RequestPlayMode(SPM_NONE);
}

void CModelSheet::SetOrderMode(int mode)
{
    if (m_pModel && !m_pModel->IsPlayMode(mode))
        m_pModel->RequestPlayMode(mode);
}

void CModelSheet::ClearOrderMode()
{
    if (m_pModel && !m_pModel->IsPlayMode(SPM_ORDERNONE))
        m_pModel->RequestPlayMode(SPM_ORDERNONE);
}

// ---------------------------------------------------------------------------
// The standard children

void CModelSheet::PageShown()
{
    struct Child {
        int id;
        unsigned bit;
    };
    static constexpr Child kChildren[] = {
        {MSC_PROGRESS, MSM_PROGRESS},     {MSC_POSITION, MSM_POSITION},       {MSC_LENGTH, MSM_LENGTH},
        {MSC_TRACKTOTAL, MSM_TRACKTOTAL}, {MSC_TRACKNUMBER, MSM_TRACKNUMBER}, {MSC_INFO1, MSM_INFO1},
        {MSC_INFO2, MSM_INFO2},           {MSC_PARKBRAKE, MSM_PARKBRAKE},
    };
    auto find = [this](int id) { return FindElement(IXFIND_ID, id, nullptr, this, this); };
    m_dwMissing = 0;
    if (!find(MSC_PLAY) && !find(MSC_PAUSE))
        m_dwMissing |= MSM_PLAYBUTTONS;
    for (const Child& child : kChildren)
        if (!find(child.id))
            m_dwMissing |= child.bit;
    IxElementWatch self(this);
    RefreshChildren();
    if (self.Alive())
        RefreshIndicators();
}

void CModelSheet::RefreshChildren()
{
    if (m_pModel) {
        ShowPlayState(m_pModel->IsPlaying());
        ShowLength(m_pModel->GetLength());
        ShowPosition(m_pModel->GetPlayPosition());
        ShowTrackTotal();
        ShowTrackNumber();
        SetInfoText(0, m_pModel->GetInfoText(0));
        SetInfoText(1, m_pModel->GetInfoText(1));
    }
    ShowParkBrake(IsParkBrakeApplied());
}

void CModelSheet::ShowModeIcons()
{
    if (!m_pModel)
        return;
    ShowPanel(MSP_MODE25, m_pModel->IsPlayMode(SPM_MODE25));
    ShowPanel(MSP_MODE27, m_pModel->IsPlayMode(SPM_MODE27));
    ShowPanel(MSP_MODE26, m_pModel->IsPlayMode(SPM_MODE26));
    ShowPanel(MSP_ORDERSPARE, FALSE);
    ShowPanel(MSP_ORDER29, m_pModel->IsPlayMode(SPM_ORDER29));
    ShowPanel(MSP_ORDER30, m_pModel->IsPlayMode(SPM_ORDER30));
}

void CModelSheet::ShowPanel(int n, BOOL on)
{
    SetIndicator(n, on);
}

void CModelSheet::SetInfoText(int which, const IxString& text)
{
    const unsigned bit = which == 0 ? MSM_INFO1 : MSM_INFO2;
    if (!Has(bit))
        return;
    if (IxElement* child = FindElement(IXFIND_ID, which == 0 ? MSC_INFO1 : MSC_INFO2, nullptr, this, this)) {
        IxString held(text);
        child->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&held));
    }
}

static void SetOwnText(CModelSheet* sheet, int id, const IxString& text)
{
    if (IxElement* child = sheet->FindElement(IXFIND_ID, id, nullptr, sheet, sheet)) {
        IxString held(text);
        child->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&held));
    }
}

void CModelSheet::ShowPlayState(BOOL playing)
{
    if (!Has(MSM_PLAYBUTTONS))
        return;
    SetChildVisibleInside(this, MSC_PLAY, !playing, TRUE);
    SetChildVisibleInside(this, MSC_PAUSE, playing, TRUE);
}

void CModelSheet::ShowPosition(int position)
{
    if (!Has(MSM_POSITION))
        return;
    const int length = m_pModel ? m_pModel->GetLength() : 0;
    IxString text;
    // An unknown length (live sources) leaves the position as it is.
    if (position >= 0 && (length < 1 || position <= length))
        FormatTimeText(m_strPositionPattern.Text(), static_cast<DWORD>(position), text);
    SetOwnText(this, MSC_POSITION, text);
}

void CModelSheet::ShowLength(int length)
{
    if (!Has(MSM_LENGTH))
        return;
    IxString text;
    if (length > 0)
        FormatTimeText(m_strLengthPattern.Text(), static_cast<DWORD>(length), text);
    SetOwnText(this, MSC_LENGTH, text);
}

void CModelSheet::ShowTrackTotal()
{
    if (!Has(MSM_TRACKTOTAL) || !m_pModel)
        return;
    const int total = m_pModel->GetTrackTotal();
    SetOwnText(this, MSC_TRACKTOTAL, total < 1 ? IxString() : NumberText(total));
}

void CModelSheet::ShowTrackNumber()
{
    if (!Has(MSM_TRACKNUMBER) || !m_pModel)
        return;
    const int number = m_pModel->GetTrackNumber();
    const int total = m_pModel->GetTrackTotal();
    std::u16string text;
    if (number >= 0) {
        AppendNumber(text, number + 1);
        if (!Has(MSM_TRACKTOTAL) && total >= 1) {
            text.push_back(u'/');
            AppendNumber(text, total);
        }
    }
    SetOwnText(this, MSC_TRACKNUMBER, IxString(text.c_str()));
}

void CModelSheet::ShowParkBrake(BOOL applied)
{
    if (Has(MSM_PARKBRAKE))
        SetChildVisibleInside(this, MSC_PARKBRAKE, applied, TRUE);
}

// ---------------------------------------------------------------------------
// Pages

BOOL CModelSheet::IsParkBrakeApplied()
{
    IxModelCenter* center = IxModelCenter::GetInstance();
    return center && center->IsDeviceMounted102();
}

BOOL CModelSheet::IsModelReadyOnMainPage() const
{
    return m_pModel && m_pModel->IsDeviceReady() && !InRange(GetActivePageId(), IXPAGE_C_FIRST, IXPAGE_C_LAST);
}

void CModelSheet::SwitchVideoPageGroup()
{
    // Video while driving: the sheet shows group B, which keeps the picture
    // off the screen; parked, or without video, group A.
    const BOOL toB = m_pModel && m_pModel->ShowsVideo() && !IsParkBrakeApplied();
    SwitchPageGroup(toB, GetActivePageId());
}
