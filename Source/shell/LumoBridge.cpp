#include "Source/shell/LumoBridge.h"

#include "Lib_cpp/kernel/Kernel.h"
#include "Source/models/ModelCenter.h"
#include "Source/models/UnitLink.h"
#include "Source/shell/ShellIds.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/io/AudioDriver.h"
#include "platform/ui/Window.h"

#include <cstring>
#include <new>

namespace {

// The status block's words that the bridge reads and writes.
constexpr DWORD kGuidanceWordOffset = 28;
constexpr DWORD kNaviLayoutWordOffset = 65;
// The guidance level used when the stored one is not valid.
constexpr int kDefaultGuidanceLevel = 3;
// The key whose state the program is told as "not a navigation key".
constexpr int kOtherKey = 8218;

// The window handle and the navigation hold flag, shared with the main
// window's handlers.
struct SharedState {
    SharedState() { InitializeCriticalSection(&lock); }
    CRITICAL_SECTION lock{};
    HWND window = nullptr;
    BOOL held = FALSE;
};

SharedState& Shared()
{
    static SharedState state;
    return state;
}

class Locked {
public:
    Locked() { EnterCriticalSection(&Shared().lock); }
    ~Locked() { LeaveCriticalSection(&Shared().lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

HWND Window()
{
    Locked hold;
    return Shared().window;
}

void SetHeld(BOOL held)
{
    Locked hold;
    Shared().held = held;
}

int CommandNumber(NaviCommand command)
{
    return static_cast<int>(command) - static_cast<int>(WM_USER);
}

long Ticks()
{
    return static_cast<long>(GetTickCount());
}

void Guidance(AudioIoctl code, DWORD value)
{
    GetUnitLink().m_hAudio.IoctlByte(static_cast<DWORD>(code), value);
}

// The notifications that are logged by name.
const WCHAR* NoticeName(NaviNotice notice)
{
    switch (notice) {
    case NaviNotice::Destroy:
        return u"BM_NOTIFY_DESTROY";
    case NaviNotice::MainMenuCall:
        return u"BM_MAIN_MENU_CALL";
    case NaviNotice::Start:
        return u"BM_NOTIFY_START";
    case NaviNotice::Init:
        return u"BM_NOTIFY_INIT";
    case NaviNotice::WarningClosed:
        return u"BM_NOTIFY_WARNING_CLOSED";
    case NaviNotice::Activate:
        return u"BM_NOTIFY_ACTIVATE";
    case NaviNotice::Hide:
        return u"BM_NOTIFY_HIDE";
    case NaviNotice::Topmost:
        return u"BM_NOTIFY_TOPMOST";
    case NaviNotice::DestroyEnd:
        return u"BM_NOTIFY_DESTROY_END";
    default:
        return nullptr;
    }
}

} // namespace

LumoBridge::LumoBridge(CLumoOwner* owner) : m_pOwner(owner)
{
    if (m_pOwner)
        m_pOwner->AddRef();
}

IxExtAppBridge* LumoBridge::Create(CLumoOwner* owner)
{
    return new (std::nothrow) LumoBridge(owner);
}

LumoBridge::~LumoBridge()
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->ForgetReceiver(this);
    if (m_pOwner)
        m_pOwner->Release();
}

HWND LumoBridge::GetNaviWindow()
{
    return Window();
}

BOOL LumoBridge::IsNaviHeld()
{
    Locked hold;
    return Shared().held;
}

UINT_PTR LumoBridge::CloseTimerId() const
{
    return IxTimerId(&m_nCloseDelay);
}

UINT_PTR LumoBridge::WarningTimerId() const
{
    return IxTimerId(&m_nWarningDelay);
}

void LumoBridge::Tell(LumoNotice notice)
{
    if (m_pOwner)
        m_pOwner->OnLumoNotice(notice);
}

// ---------------------------------------------------------------------------
// Commands

LRESULT LumoBridge::SendCommand(NaviCommand command, const void* data, DWORD size)
{
    const int n = CommandNumber(command);
    IxBroadcast(FID_ALIVEINVOKE, AEV_DEFAULT, 0); // the micom's alive signal
    NKDbgPrintfW(u" SendCommand To Navi  CMD[WMUSER + %d] at [%ld] \n\r", n, Ticks());
    LRESULT answer = 0;
    // The handle is taken under the lock, the send made without it: the
    // program may be waiting for the main window while the send waits.
    if (HWND window = Window()) {
        COPYDATASTRUCT copy{static_cast<ULONG_PTR>(command), size, const_cast<void*>(data)};
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG,
                                kSendTimeoutMs, &result)) {
            answer = static_cast<LRESULT>(result);
        } else if (GetLastError() == ERROR_TIMEOUT) {
            NKDbgPrintfW(u"[LumoBridge] SendCommand CMD[WMUSER + %d] dropped: no answer in %d ms\r\n", n,
                         static_cast<int>(kSendTimeoutMs));
        } else {
            NKDbgPrintfW(u"[LumoBridge] SendCommand CMD[WMUSER + %d] failed: the window is gone\r\n", n);
        }
    }
    IxBroadcast(FID_ALIVEINVOKE, AEV_DEFAULT, 0);
    NKDbgPrintfW(u" Return SendCommand To Navi  CMD[WMUSER + %d] at [%ld] \n\r", n, Ticks());
    return answer;
}

LRESULT LumoBridge::SendValue(NaviCommand command, int value, DWORD size, int parameter)
{
    BYTE bytes[8] = {};
    auto put = [&bytes](int at, DWORD word) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<BYTE>(word >> (8 * i));
    };
    if (command == NaviCommand::KeyState) {
        if (value != AEV_ATTACH && value != AEV_DETACH)
            return 0;
        // Both words travel: the program reads the key's state from them.
        put(0, parameter != kOtherKey ? 1u : 0u);
        put(4, value == AEV_ATTACH ? 1u : 0u);
        return SendCommand(command, bytes, 8);
    }
    if (size > 4)
        size = 4;
    put(0, static_cast<DWORD>(value));
    return SendCommand(command, size ? bytes : nullptr, size);
}

LRESULT LumoBridge::SendLayout(int layout)
{
    m_nLayoutWish = layout;
    m_bLayoutSent = TRUE;
    if (layout == LUMO_PIP) {
        NKDbgPrintfW(u"[LumoBridge] SendLayout(PIP) LayoutType[%d] \n\r", layout);
        if (m_nProgramLayout != LUMO_PIP)
            return SendCommand(NaviCommand::LayoutPip, nullptr, 0);
    } else {
        NKDbgPrintfW(u"[LumoBridge] SendLayout(FULL) LayoutType[%d] \n\r", layout);
        if (m_nProgramLayout != LUMO_FULL)
            return SendCommand(NaviCommand::LayoutFull, nullptr, 0);
    }
    return 1;
}

LRESULT LumoBridge::SendHide()
{
    m_nLayoutWish = LUMO_HIDDEN;
    NKDbgPrintfW(u"[LumoBridge] SendHide()\n\r");
    if (IsNaviHeld()) {
        NKDbgPrintfW(u"[LumoBridge] SendHide() Need Not SendCommand WM_USER_PIP_RESTORATION \n\r");
        return 1;
    }
    if (m_nProgramLayout == LUMO_PIP || m_nProgramLayout == LUMO_PIP2) {
        NKDbgPrintfW(u"[LumoBridge] SendHide() SendCommand WM_USER_PIP_RESTORATION \n\r");
        return SendCommand(NaviCommand::LayoutFull, nullptr, 0);
    }
    return 1;
}

LRESULT LumoBridge::SendShow(int layout)
{
    if (IsNaviHeld()) {
        NKDbgPrintfW(u"[LumoBridge] SendShow() Need Not SendCommand WM_USER_UPDATE_SCREEN \n\r");
        return 1;
    }
    SendLayout(layout);
    return SendCommand(NaviCommand::UpdateScreen, nullptr, 0);
}

LRESULT LumoBridge::RequestClose(int flag)
{
    if (m_bStarted)
        return SendValue(NaviCommand::Close, flag, 4);
    m_bClosePending = TRUE;
    return 0;
}

// ---------------------------------------------------------------------------
// Hold and deferred requests

void LumoBridge::Hold()
{
    m_bHold = TRUE;
}

void LumoBridge::ReleaseHold()
{
    m_bHold = FALSE;
    const int request = m_nParked;
    m_nParked = PARK_NONE;
    RunParked(request, m_nParkedLayout);
}

void LumoBridge::RunParked(int request, int layout)
{
    switch (request) {
    case PARK_HIDE:
        SendHide();
        break;
    case PARK_SHOW:
        SendShow(layout);
        break;
    case PARK_LAYOUT:
        SendLayout(layout);
        break;
    default:
        break;
    }
}

void LumoBridge::SetLayoutDeferred(int layout)
{
    if (!m_bHold) {
        SendLayout(layout);
        return;
    }
    m_nParked = PARK_LAYOUT;
    m_nParkedLayout = layout;
}

void LumoBridge::ShowDeferred(int layout)
{
    if (!m_bHold) {
        SendShow(layout);
        return;
    }
    m_nParked = PARK_SHOW;
    m_nParkedLayout = layout;
}

void LumoBridge::HideDeferred()
{
    if (!m_bHold) {
        SendHide();
        return;
    }
    m_nParked = PARK_HIDE;
}

void LumoBridge::SetVisible(BOOL on, int wish)
{
    if ((on && wish != LUMO_FULL) || (!on && wish == LUMO_FULL))
        ShowDeferred(wish);
    Tell(LumoNotice::VisibleSet);
}

// ---------------------------------------------------------------------------
// The navigation model's operations

BOOL LumoBridge::AppLaunch()
{
    return TRUE;
}

LRESULT LumoBridge::AppStop(int flag)
{
    return flag ? RequestClose(2) : 1;
}

int LumoBridge::AppGetLayout() const
{
    return m_nLayoutWish;
}

void LumoBridge::AppHold(BOOL on, int)
{
    if (on)
        Hold();
    else
        ReleaseHold();
}

void LumoBridge::AppSync()
{
    // A hold ends here: what it parked is the newest state. Otherwise the
    // wish goes out again (each step sends only what the program lacks).
    const BOOL parked = m_bHold && m_nParked != PARK_NONE;
    if (m_bHold)
        ReleaseHold();
    if (parked)
        return;
    if (m_nLayoutWish == LUMO_HIDDEN)
        SendHide();
    else
        SendLayout(m_nLayoutWish);
}

LRESULT LumoBridge::AppSetLayout(int layout)
{
    SetLayoutDeferred(layout);
    return 1;
}

LRESULT LumoBridge::AppShow(int, int layout)
{
    ShowDeferred(layout);
    return 1;
}

LRESULT LumoBridge::AppShowAgain(int)
{
    return 1;
}

LRESULT LumoBridge::AppNotify(int value)
{
    NKDbgPrintfW(u"[LumoBridge] Notify(%d) : nothing to send, at [%ld]\r\n", value, Ticks());
    return 1;
}

LRESULT LumoBridge::AppHide()
{
    HideDeferred();
    return 1;
}

LRESULT LumoBridge::AppCancelShow()
{
    if (m_nParked == PARK_SHOW)
        m_nParked = PARK_NONE;
    HideDeferred();
    return 1;
}

BOOL LumoBridge::AppEvent(int kind, LPARAM parameter)
{
    return Notify(kind, reinterpret_cast<const LPARAM*>(parameter));
}

// ---------------------------------------------------------------------------
// Notifications

BOOL LumoBridge::Notify(int event, const LPARAM* record)
{
    if (event != AEV_ARGS || !record)
        return FALSE;
    const LPARAM code = record[1];
    const LPARAM value = record[2];
    if (code < static_cast<LPARAM>(NaviNotice::GuidanceOn) || code > static_cast<LPARAM>(NaviNotice::DestroyEnd))
        return FALSE;
    const auto notice = static_cast<NaviNotice>(code);
    if (const WCHAR* name = NoticeName(notice))
        NKDbgPrintfW(u"[LumoBridge] %s : at [%ld]\r\n", name, Ticks());

    switch (notice) {
    case NaviNotice::GuidanceOn:
        if (m_pOwner && (m_pOwner->IsCallActive() || !m_pOwner->IsGuidanceAllowed()))
            break;
        Guidance(AudioIoctl::GuidanceAudio, 1);
        break;
    case NaviNotice::GuidanceOff:
        Guidance(AudioIoctl::GuidanceAudio, 0);
        break;
    case NaviNotice::Destroy:
        OnDestroy();
        break;
    case NaviNotice::MainMenuCall:
        // A call runs: the call screen; otherwise the 3D menu.
        PushGlobalAction(m_pOwner && m_pOwner->IsCallActive() ? static_cast<int>(FID_BLUETOOTH)
                                                              : static_cast<int>(FID_EXT_3DMENU),
                         AEV_DEFAULT, 0);
        break;
    case NaviNotice::GuidanceVolume:
        Guidance(AudioIoctl::GuidanceLevel, static_cast<DWORD>(value) & 0xFF);
        if (BYTE* block = GetBlock0()) {
            const auto word = static_cast<DWORD>(value);
            for (int i = 0; i < 4; ++i)
                block[kGuidanceWordOffset + i] = static_cast<BYTE>(word >> (8 * i));
            SendLastStatus();
        }
        break;
    case NaviNotice::Resize:
        OnResize(value);
        break;
    case NaviNotice::Start:
        OnStart();
        break;
    case NaviNotice::Init:
        OnInit();
        break;
    case NaviNotice::WarningClosed:
        OnWarningClosed();
        break;
    case NaviNotice::HoldOn:
        SetHeld(TRUE);
        break;
    case NaviNotice::HoldOff:
        SetHeld(FALSE);
        break;
    case NaviNotice::Activate:
        if (value == 1 && m_bStarted)
            SendCommand(NaviCommand::UpdateScreen, nullptr, 0);
        break;
    case NaviNotice::Hide:
        m_nLayoutWish = LUMO_HIDDEN;
        Tell(LumoNotice::Hidden);
        break;
    case NaviNotice::Topmost:
        Tell(LumoNotice::LayoutChanged);
        break;
    case NaviNotice::DestroyEnd:
        SetHeld(FALSE);
        m_bClosePending = FALSE;
        m_nProgramLayout = LUMO_FULL;
        PushGlobalAction(ACMD_NAVITERMINATED, AEV_DEFAULT, 0);
        break;
    default:
        break;
    }
    return TRUE;
}

void LumoBridge::OnDestroy()
{
    {
        Locked hold;
        Shared().window = nullptr;
    }
    m_bClosePending = FALSE;
    m_nProgramLayout = LUMO_FULL;
    m_bStarted = FALSE;
    IxBroadcast(ACMD_NAVICLOSED, AEV_DEFAULT, 0);
}

void LumoBridge::OnResize(LPARAM value)
{
    NKDbgPrintfW(u"[LumoBridge] BM_RESIZE : lParam=[%d], at [%ld]\r\n", static_cast<int>(value), Ticks());
    switch (value) {
    case 0:
        m_nProgramLayout = LUMO_PIP;
        if (m_nLayoutWish != LUMO_HIDDEN) {
            m_nLayoutWish = LUMO_PIP;
            Tell(LumoNotice::LayoutChanged);
        }
        m_bLayoutSent = FALSE;
        break;
    case 1:
        m_nProgramLayout = LUMO_PIP2;
        break;
    case 2:
        m_nProgramLayout = LUMO_FULL;
        if (m_nLayoutWish != LUMO_HIDDEN) {
            m_nLayoutWish = LUMO_FULL;
            Tell(LumoNotice::LayoutChanged);
        }
        m_bLayoutSent = FALSE;
        if (BYTE* block = GetBlock0()) {
            std::memset(block + kNaviLayoutWordOffset, 0, 4);
            SendLastStatus();
        }
        break;
    default: // -1 and anything unlisted: full screen
        m_nProgramLayout = LUMO_FULL;
        break;
    }
}

void LumoBridge::OnStart()
{
    m_bStarted = TRUE;
    if (m_bClosePending) {
        m_bClosePending = FALSE;
        // The program needs a moment after its start before it can close;
        // the user-interface thread does not wait for it.
        if (IxKernel* kernel = IxGetKernel())
            kernel->SetTimer(this, CloseTimerId(), m_nCloseDelay);
        return;
    }
    if (Window()) {
        Tell(LumoNotice::Started);
        Tell(LumoNotice::LayoutChanged);
    }
}

void LumoBridge::OnInit()
{
    HWND window = nullptr;
    {
        Locked hold;
        window = FindWindowW(nullptr, kNaviWindowTitle);
        Shared().window = window;
        if (window)
            SetForegroundWindow(window);
        if (m_pOwner && !m_pOwner->IsNaviEnabled()) {
            Shared().window = nullptr;
            window = nullptr;
        }
    }
    if (window)
        Tell(LumoNotice::WindowKnown);
}

int LumoBridge::GuidanceWord()
{
    const BYTE* block = GetBlock0();
    if (!block)
        return kDefaultGuidanceLevel;
    DWORD word = 0;
    for (int i = 0; i < 4; ++i)
        word |= static_cast<DWORD>(block[kGuidanceWordOffset + i]) << (8 * i);
    const auto value = static_cast<int>(word);
    return value < 0 ? kDefaultGuidanceLevel : value;
}

void LumoBridge::OnWarningClosed()
{
    const int level = GuidanceWord();
    Guidance(AudioIoctl::GuidanceLevel, static_cast<DWORD>(level));
    SendValue(NaviCommand::WarningValue, level, 4);
    // The owner hears of it once the program has settled.
    if (IxKernel* kernel = IxGetKernel())
        kernel->SetTimer(this, WarningTimerId(), m_nWarningDelay);
}

// ---------------------------------------------------------------------------
// Timers

int LumoBridge::ActionIsInvoked(int, int, LPARAM)
{
    return 0;
}

LRESULT LumoBridge::OnEvent(int code, LPARAM param)
{
    if (code != IXEV_TIMER)
        return 0;
    IxKernel* kernel = IxGetKernel();
    const auto id = static_cast<UINT_PTR>(param);
    if (id == CloseTimerId()) {
        if (kernel)
            kernel->KillTimer(this, id);
        SendValue(NaviCommand::Close, 2, 4);
        return 1;
    }
    if (id == WarningTimerId()) {
        if (kernel)
            kernel->KillTimer(this, id);
        if (Window())
            Tell(LumoNotice::WarningClosed);
        IxBroadcast(ACMD_NAVIWARNINGCLOSED, AEV_DEFAULT, 0);
        return 1;
    }
    return 0;
}
