#include "Source/screens/settings/RearViewSheet.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ElementWrapper.h"
#include "Lib_cpp/controls/ImageElement.h"
#include "Lib_cpp/controls/ImageRequest.h"
#include "Lib_cpp/controls/PressWrapper.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/image/Image.h"
#include "Lib_cpp/kernel/ServiceCodes.h"
#include "Source/gate/GateUiLayer.h"
#include "Source/models/ModelCenter.h"
#include "Source/shell/ShellIds.h"
#include "Source/shell/ViewCenter.h"
#include "platform/base/Rect.h"

namespace {

// The restoration is pending (IsActive) and the call screen the last resume
// closed: words of the process, not of one screen, since Leave runs after
// the screen is gone.
BOOL s_bRestorePending = FALSE;
int s_nClosedCallScreen = CRearViewSheet::CALL_NONE;

constexpr WCHAR kNaviPicture[] = u"\\NAND\\Wren\\Images\\Rear view\\Lumo_ini.bmp";
constexpr WCHAR kCaptionImage[] = u"\\NAND\\Wren\\Images\\Rear view\\rearview_camera_text.bmp";

const WCHAR* const kLines[2][CRearViewSheet::kShapeCount] = {
    {
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewLeftLine1.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewLeftLine2.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewLeftLine3.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewLeftLine4.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewLeftLine5.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewLeftLine6.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewLeftLine7.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewLeftLine8.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewLeftLine9.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewLeftLine10.bmp",
    },
    {
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewRightLine1.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewRightLine2.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewRightLine3.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewRightLine4.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewRightLine5.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewRightLine6.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewRightLine7.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewRightLine8.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewRightLine9.bmp",
        u"\\NAND\\Wren\\Images\\Rear view\\RearViewRightLine10.bmp",
    },
};

// The selectors' four modes: x, y, shape, cut (normal and pushed).
const WCHAR* const kModeImages[CRearViewSheet::MODE_COUNT][2] = {
    {u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineMode1Normal.bmp",
     u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineMode1Push.bmp"},
    {u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineMode2Normal.bmp",
     u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineMode2Push.bmp"},
    {u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineMode3Normal.bmp",
     u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineMode3Push.bmp"},
    {u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineMode4Normal.bmp",
     u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineMode4Push.bmp"},
};

struct ButtonPlace {
    int id;
    int x;
    int y;
    int width;
    int height;
    const WCHAR* normal; // null: a mode selector
    const WCHAR* pushed;
};

const ButtonPlace kButtons[] = {
    {CRearViewSheet::ID_STORE, 666, 0, 129, 40, u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineMemNormal.bmp",
     u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineMemPush.bmp"},
    {CRearViewSheet::ID_LEFTMODE, 5, 247, 67, 76, nullptr, nullptr},
    {CRearViewSheet::ID_RIGHTMODE, 728, 247, 67, 76, nullptr, nullptr},
    {CRearViewSheet::ID_LEFTUP, 5, 323, 67, 76, u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineUpNormal.bmp",
     u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineUpPush.bmp"},
    {CRearViewSheet::ID_RIGHTUP, 728, 323, 67, 76, u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineUpNormal.bmp",
     u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineUpPush.bmp"},
    {CRearViewSheet::ID_LEFTDOWN, 5, 399, 67, 76, u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineDownNormal.bmp",
     u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineDownPush.bmp"},
    {CRearViewSheet::ID_RIGHTDOWN, 728, 399, 67, 76, u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineDownNormal.bmp",
     u"\\NAND\\Wren\\Images\\Rear view\\btnParkLineDownPush.bmp"},
};

constexpr RECT kCaptionRect{125, 7, 125 + 531, 7 + 32};

// Where the guide lines stand at step 0: the left line's left edge, the
// right line's right edge and both lines' top; one x step moves a line 10
// pixels inward, one y step 5 pixels down, one cut step takes 2 % of the
// image's height off its top.
constexpr int kLeftEdge = 1;
constexpr int kRightEdge = 799;
constexpr int kTop = 179;
constexpr int kXStepPx = 10;
constexpr int kYStepPx = 5;
constexpr int kCutStepPercent = 2;

// The pop-up layers that cannot stay over the camera's picture, by view id.
// The three call screens are remembered so that the restoration can bring
// the call back.
struct ClosedLayer {
    int id;
    int callScreen;
};
const ClosedLayer kClosedLayers[] = {
    {FID_TILTSCREEN, CRearViewSheet::CALL_NONE},
    {FID_MODEPOPUP, CRearViewSheet::CALL_NONE},
    {FID_DUALZONEPOPUP, CRearViewSheet::CALL_NONE},
    {11901, CRearViewSheet::CALL_NONE},
    {11803, CRearViewSheet::CALL_NONE},
    {11905, CRearViewSheet::CALL_NONE},
    {12902, CRearViewSheet::CALL_NONE},
    {FID_POPUP_NOSAVER2, CRearViewSheet::CALL_NONE},
    {13401, CRearViewSheet::CALL_NONE},
    {FID_BTCALLSMALL, CRearViewSheet::CALL_SMALL},
    {ACMD_BTCALLPOPUP, CRearViewSheet::CALL_LARGE},
    {12531, CRearViewSheet::CALL_NONE},
    {12533, CRearViewSheet::CALL_NONE},
    {12534, CRearViewSheet::CALL_NONE},
    {12535, CRearViewSheet::CALL_NONE},
    {12536, CRearViewSheet::CALL_NONE},
    {12548, CRearViewSheet::CALL_PHONEBOOK},
    {12549, CRearViewSheet::CALL_NONE},
    {12555, CRearViewSheet::CALL_NONE},
    {12413, CRearViewSheet::CALL_NONE},
    {FID_NAVI_DETACH_POPUP, CRearViewSheet::CALL_NONE},
    {FID_SDSLOTPOPUP, CRearViewSheet::CALL_NONE},
    {FID_VIDEOPHOTOPOPUP, CRearViewSheet::CALL_NONE},
    {10068, CRearViewSheet::CALL_NONE},
    {3320, CRearViewSheet::CALL_NONE},
    {11447, CRearViewSheet::CALL_NONE},
    {11446, CRearViewSheet::CALL_NONE},
    {11460, CRearViewSheet::CALL_NONE},
    {11373, CRearViewSheet::CALL_NONE},
    {11374, CRearViewSheet::CALL_NONE},
    {11375, CRearViewSheet::CALL_NONE},
};

// What the screen takes first while it is up: the mode key, the mode popup
// and the held tilt keys.
const DWORD kSubscriptions[] = {
    ACMD_KEY_MODE,
    FID_EXT_MODEPOPUP,
    FID_EXT_SEEKUPHELD,
    FID_EXT_SEEKDOWNHELD,
    KEY_REMOTE_RIGHTUPHELD,
    KEY_REMOTE_105HELD,
    0,
};

int LimitOf(int index)
{
    return index >= CRearViewSheet::G_CUT ? CRearViewSheet::kCutMax : CRearViewSheet::kStepMax;
}

// A bitmap of one frame; null when it cannot be loaded (no picture, no size).
IxImage* LoadPicture(const WCHAR* path)
{
    IxImage* image = new IxBitmapImage(path, IXLM_NOW);
    SIZE size{0, 0};
    image->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
    if (size.cx > 0 && size.cy > 0)
        return image;
    image->Release();
    return nullptr;
}

// A pressable picture of two frames (normal, pushed).
IxImage* ButtonPicture(const WCHAR* normal, const WCHAR* pushed)
{
    IxStringArray paths;
    paths.AddText(normal);
    paths.AddText(pushed);
    return IxImageRef::CreateFromList(nullptr, paths, IXLM_NOW);
}

IxElementParams PlaceAt(int id, int x, int y, int width, int height, IxImage* image)
{
    IxElementParams params{};
    params.Clear();
    params.Set(x, y, width, height, id, 0);
    params.nContentKind = IXCONTENT_IMAGE;
    params.lContentValue = reinterpret_cast<LPARAM>(image);
    return params;
}

} // namespace

CRearViewSheet::CRearViewSheet()
{
    int row = 0;
    m_filter[row++] = IxActionWord(ID_CAPTION, 0);
    for (int id = ID_STORE; id <= ID_RIGHTDOWN; ++id)
        m_filter[row++] = IxActionWord(id, AEV_DEFAULT);
    m_filter[row] = 0;
}

CRearViewSheet::~CRearViewSheet()
{
    ReleaseImage(&m_pNaviPicture);
    ReleaseLines();
}

// ---------------------------------------------------------------------------
// The guide-line geometry

void CRearViewSheet::LoadGeometry(const BYTE* payload, int* geometry)
{
    for (int i = 0; i < G_COUNT; ++i) {
        int value = 0;
        if (payload) {
            const BYTE* p = payload + 4 * i;
            value = static_cast<int>(static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8
                                     | static_cast<DWORD>(p[2]) << 16 | static_cast<DWORD>(p[3]) << 24);
        }
        geometry[i] = value < 0 || value > LimitOf(i) ? 0 : value;
    }
}

BOOL CRearViewSheet::StepGeometry(int* geometry, int side, int mode, BOOL up)
{
    if (side != SIDE_LEFT && side != SIDE_RIGHT)
        return FALSE;
    int index = 0;
    int step = 0;
    switch (mode) {
    case MODE_X: // up moves the line inward
        index = G_X + side;
        step = up ? 1 : -1;
        break;
    case MODE_Y: // up moves the line up
        index = G_Y + side;
        step = up ? -1 : 1;
        break;
    case MODE_SHAPE: // the shapes go round
        geometry[G_SHAPE + side] = (geometry[G_SHAPE + side] + (up ? 1 : kShapeCount - 1)) % kShapeCount;
        return TRUE;
    case MODE_CUT: // up lengthens the line at its top
        index = G_CUT + side;
        step = up ? -1 : 1;
        break;
    default:
        return FALSE;
    }
    const int value = geometry[index] + step;
    if (value < 0 || value > LimitOf(index))
        return FALSE;
    geometry[index] = value;
    return TRUE;
}

RECT CRearViewSheet::LineRect(int side) const
{
    RECT rc{0, 0, 0, 0};
    IxImage* image = m_pLine[side];
    if (!image)
        return rc;
    SIZE size{0, 0};
    image->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
    if (side == SIDE_LEFT) {
        rc.left = kLeftEdge + kXStepPx * m_geometry[G_X + side];
        rc.right = rc.left + size.cx;
    } else {
        rc.right = kRightEdge - kXStepPx * m_geometry[G_X + side];
        rc.left = rc.right - size.cx;
    }
    rc.top = kTop + kYStepPx * m_geometry[G_Y + side];
    rc.bottom = rc.top + size.cy;
    rc.top += IxMulDiv(size.cy, kCutStepPercent * m_geometry[G_CUT + side], 100);
    return rc;
}

void CRearViewSheet::LoadLine(int side)
{
    ReleaseImage(&m_pLine[side]);
    m_pLine[side] = LoadPicture(kLines[side][m_geometry[G_SHAPE + side]]);
}

void CRearViewSheet::ReleaseImage(IxImage** slot)
{
    if (*slot)
        (*slot)->Release();
    *slot = nullptr;
}

void CRearViewSheet::ReleaseLines()
{
    ReleaseImage(&m_pLine[SIDE_LEFT]);
    ReleaseImage(&m_pLine[SIDE_RIGHT]);
}

void CRearViewSheet::Adjust(int side, BOOL up)
{
    const int selector = side == SIDE_LEFT ? ID_LEFTMODE : ID_RIGHTMODE;
    LPARAM unused = 0;
    const int mode = QueryChild(this, selector, IXQ_CURFRAME, &unused);
    const RECT before = LineRect(side);
    if (!StepGeometry(m_geometry, side, mode, up))
        return;
    if (mode == MODE_SHAPE)
        LoadLine(side);
    const RECT after = LineRect(side);
    RECT area = platform::IsEmpty(before) ? after : platform::IsEmpty(after) ? before : platform::Union(before, after);
    if (!IsHiddenOrLaidOut() && !platform::IsEmpty(area))
        Invalidate(IXINV_REPAINT, &area, this);
}

void CRearViewSheet::Store()
{
    // Without the Misc record (no model center) there is nothing to keep
    // the values in.
    BYTE* payload = GetMiscStatus();
    if (!payload)
        return;
    for (int i = 0; i < G_COUNT; ++i) {
        const DWORD value = static_cast<DWORD>(m_geometry[i]);
        for (int b = 0; b < 4; ++b)
            payload[4 * i + b] = static_cast<BYTE>(value >> (8 * b));
    }
    SaveMiscStatus();
}

// ---------------------------------------------------------------------------
// Creation and the adjustment buttons

int CRearViewSheet::OnCreate(const IxElementParams* params)
{
    CColorKeySheet::OnCreate(params);
    if (const BYTE* block = GetBlock0())
        m_bLinesVisible = block[B0_REARVIEW] != 0;
    LoadGeometry(GetMiscStatus(), m_geometry);
    AddCaption();
    LoadLine(SIDE_LEFT);
    LoadLine(SIDE_RIGHT);
    return 1;
}

void CRearViewSheet::AddCaption()
{
    auto* caption = new IxImageElement;
    IxElementParams params
        = PlaceAt(ID_CAPTION, kCaptionRect.left, kCaptionRect.top, kCaptionRect.right - kCaptionRect.left,
                  kCaptionRect.bottom - kCaptionRect.top, LoadPicture(kCaptionImage));
    caption->Create(&params);
    AddChild(new IxPressWrapper(caption, kCaptionHoldMs, 0));
}

void CRearViewSheet::AddAdjustButtons()
{
    for (const ButtonPlace& b : kButtons) {
        IxImageElement* element = nullptr;
        if (b.normal) {
            element = new IxImageElement;
            IxElementParams params = PlaceAt(b.id, b.x, b.y, b.width, b.height, ButtonPicture(b.normal, b.pushed));
            element->Create(&params);
        } else {
            auto* selector = new IxMultiImage;
            IxElementParams params = PlaceAt(b.id, b.x, b.y, b.width, b.height, nullptr);
            params.nContentKind = 0;
            selector->Create(&params);
            for (const auto& mode : kModeImages)
                selector->AddImage(ButtonPicture(mode[0], mode[1]));
            selector->ShowIndex(MODE_X, FALSE);
            element = selector;
        }
        AddChild(element);
    }
}

void CRearViewSheet::RemoveAdjustButtons()
{
    for (const ButtonPlace& b : kButtons)
        if (IxElement* element = FindChildDeep(b.id))
            RemoveChild(element, FALSE);
}

void CRearViewSheet::SetAdjusting(BOOL on)
{
    if (on) {
        AddAdjustButtons();
        ValidateNow(0);
    } else {
        RemoveAdjustButtons();
    }
    m_bAdjusting = on;
    Redraw();
}

// ---------------------------------------------------------------------------
// Events, actions, input and drawing

LRESULT CRearViewSheet::OnEvent(int code, LPARAM param)
{
    IxKernel* kernel = IxGetKernel();
    switch (code) {
    case IXEV_ATTACHED:
        SetFlags(IXF_HITCLIENT, 0);
        if (kernel && !m_bListening) {
            m_bListening = kernel->AddListener(m_filter, this);
            SubscribeEventList(this, kSubscriptions);
        }
        break;
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == AudioTimerId()) {
            KillElementTimer(this, AudioTimerId());
            SetCameraAudioMode(TRUE);
            return 1;
        }
        break;
    case IXEV_DETACHED:
        KillElementTimer(this, AudioTimerId());
        if (kernel && m_bListening) {
            kernel->RemoveListener(m_filter, this);
            UnsubscribeEventList(this, kSubscriptions);
        }
        m_bListening = FALSE;
        m_bAdjusting = FALSE;
        break;
    default:
        break;
    }
    return CColorKeySheet::OnEvent(code, param);
}

int CRearViewSheet::ActionIsInvoked(int code, int kind, LPARAM)
{
    if (code >= KEY_ACTION_FIRST && code <= KEY_ACTION_LAST
        && (kind == AEV_DEFAULT || kind == AEV_HOLDSTART || kind == AEV_LONGPRESS))
        IxKernel::MarkUpdateAll(this);
    switch (code) {
    case FID_EXT_SEEKUPHELD:
    case KEY_REMOTE_RIGHTUPHELD:
    case FID_EXT_SEEKDOWNHELD:
    case KEY_REMOTE_105HELD:
        // The front panel's tilt keys move the tilt motor up and down while
        // held and stop it on release (CExDeviceTilt: not built yet).
        return 1;
    case ACMD_KEY_MODE:
    case FID_EXT_MODEPOPUP:
        return 1; // no source change over the camera
    case ID_CAPTION:
        if (kind == AEV_LONGPRESS)
            SetAdjusting(!m_bAdjusting);
        return 1;
    case ID_STORE:
        Store();
        return 1;
    case ID_LEFTMODE:
    case ID_RIGHTMODE:
        SetChildProperty(this, code, IXP_FRAME, IXFRAME_NEXT);
        return 1;
    case ID_LEFTUP:
        Adjust(SIDE_LEFT, TRUE);
        return 1;
    case ID_LEFTDOWN:
        Adjust(SIDE_LEFT, FALSE);
        return 1;
    case ID_RIGHTUP:
        Adjust(SIDE_RIGHT, TRUE);
        return 1;
    case ID_RIGHTDOWN:
        Adjust(SIDE_RIGHT, FALSE);
        return 1;
    default:
        return 0;
    }
}

int CRearViewSheet::OnInput(int code, LPARAM data)
{
    if (code != IXIN_DOWN)
        return CColorKeySheet::OnInput(code, data);
    if (m_bAdjusting)
        return 0;
    m_bLinesVisible = !m_bLinesVisible;
    // The micom keeps the choice across power cycles; without the status
    // block (no model center) it holds only for this screen.
    if (BYTE* block = GetBlock0()) {
        block[B0_REARVIEW] = static_cast<BYTE>(m_bLinesVisible ? 1 : 0);
        SendLastStatus();
    }
    Redraw();
    return 0;
}

void CRearViewSheet::Draw(IxPaintRecord* record)
{
    if (!record)
        return;
    if (m_pNaviPicture) {
        DrawImage(record, m_pNaviPicture);
        return;
    }
    DrawBackground(record);
    if (m_bLinesVisible || m_bAdjusting) {
        for (int side : {SIDE_LEFT, SIDE_RIGHT}) {
            const RECT rc = LineRect(side);
            if (m_pLine[side] && platform::RectsOverlap(rc, record->clip))
                m_pLine[side]->Draw(record->dc, rc, &record->clip);
        }
    }
    PaintChildren(record);
}

// ---------------------------------------------------------------------------
// Attach, resume, detach and the restoration

void CRearViewSheet::OnAttach()
{
    if (IsLayerShown(FID_VOLUME))
        PopLayerLater(FID_VOLUME);
    // A restoration still pending from the camera's last screen has not
    // released the video it hid: this screen takes that hide over instead
    // of counting a second one that nothing would release.
    if (s_bRestorePending)
        s_bRestorePending = FALSE;
    else
        ModelCenterHideVideo(TRUE);
    // Laid out now: the first paint comes through the view's own window,
    // which paints the layer as it stands and lays nothing out.
    ValidateNow(0);
}

void CRearViewSheet::OnResume()
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->Service(IXSVC_REPAINTNOTICE, nullptr, 0);
    s_bRestorePending = FALSE;
    // The picture first: switching the audio processor to the camera waits
    // for it to settle (200 ms on this thread), and the driver backing up
    // should not wait for that. The switch follows on the shortest timer,
    // which comes after the window's paint.
    SetElementTimer(this, AudioTimerId(), 1);
    if (gate::GetGateUILayerFlag()) {
        // The menu showing under the camera gets its layer back when the
        // camera goes.
        m_bMenuLayerTaken = !gate::IsGateRenderingSuspended();
        gate::SetGateUILayer(1);
    }
    s_nClosedCallScreen = CALL_NONE;
    for (const ClosedLayer& layer : kClosedLayers) {
        if (!IsLayerShown(layer.id))
            continue;
        if (layer.callScreen != CALL_NONE)
            s_nClosedCallScreen = layer.callScreen;
        PopLayerLater(layer.id);
    }
}

int CRearViewSheet::NaviState() const
{
    return GetNaviState();
}

void CRearViewSheet::ClearNow(BOOL toBottom)
{
    ReleaseLines();
    IxView::SetChainVisible(m_children.Head() ? FromNode(m_children.Head()) : nullptr, FALSE, FALSE);
    Redraw();
    if (toBottom)
        ShowAtBottom();
    UpdateWindow();
}

void CRearViewSheet::OnDetach()
{
    if (m_bMenuLayerTaken) {
        m_bMenuLayerTaken = FALSE;
        gate::SetGateUILayer(0);
    }
    switch (NaviState()) {
    case 1: // the navigation program runs: its start picture stands in
        if (!m_pNaviPicture)
            m_pNaviPicture = LoadPicture(kNaviPicture);
        Redraw();
        UpdateWindow();
        Restore();
        break;
    case 2:
        ClearNow(FALSE);
        Restore();
        break;
    case 3: // the navigation program's window comes back over the colour key
        ClearNow(TRUE);
        s_bRestorePending = TRUE;
        break;
    default:
        s_bRestorePending = TRUE;
        break;
    }
    ReleaseLines();
}

BOOL CRearViewSheet::IsActive()
{
    return s_bRestorePending;
}

int CRearViewSheet::GetClosedCallScreen()
{
    return s_nClosedCallScreen;
}

void CRearViewSheet::Restore()
{
    s_bRestorePending = FALSE;
    SetCameraAudioMode(FALSE);
    ModelCenterHideVideo(FALSE);
    // A call screen closed by the camera comes back here while the call is
    // still up (the Bluetooth model's call state, bridge status 3, or its
    // phonebook download, status 21): not built yet.
}

void CRearViewSheet::Leave()
{
    Restore();
    if (IxKernel* kernel = IxGetKernel())
        kernel->FlagFrame();
}
