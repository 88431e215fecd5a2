// CKernelObj: the device events and the card that holds the navigation and
// voice programs.
#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Utility.h"
#include "Source/models/Model.h"
#include "Source/models/ModelCodes.h"
#include "Source/models/SettingModel.h"
#include "Source/models/UnitLink.h"
#include "Source/screens/common/WindowedMessagePopup.h"
#include "Source/shell/KernelObj.h"
#include "Source/shell/ShellIds.h"
#include "platform/base/Debug.h"
#include "platform/base/Text.h"
#include "platform/ui/Window.h"

#include <new>

namespace {

constexpr int kSaverPictures = 1;
constexpr int kCardPulledPopupMs = 5000;

const WCHAR kMapPulledText[]
    = u"루모3D 맵을 종료하지 않고 SD CARD를 제거하여\n안전한 동작을 위하여 5초 뒤 재부팅 합니다.";
const WCHAR kVoicePulledText[]
    = u"음성인식을 종료하지 않고 SD CARD를 제거하여\n안전한 동작을 위하여 5초 뒤 재부팅 합니다.";

void TellModel(int modelId, int device, int kind)
{
    IxModelCenter* center = IxModelCenter::GetInstance();
    if (IxModel* model = center ? center->FindModel(modelId) : nullptr)
        model->DeviceStateIsChanged(device, kind);
}

} // namespace

void CKernelObj::DeviceStateIsChanged(int device, int kind)
{
    if (device == DEVNO_SD0) {
        CardIsPulled(device, kind);
        return;
    }
    if (device >= DEVNO_IPOD && device < DEVNO_IPOD + 10) {
        TellModel(MODELID_IPODAUDIO, device, kind);
        TellModel(MODELID_IPODVIDEO, device, kind);
        return;
    }
    if (device >= DEVNO_DVD && device < DEVNO_DVD + 10) {
        TellModel(MODELID_DVD, device, kind);
        return;
    }
    if (device >= DEVNO_BLUETOOTH && device < DEVNO_BLUETOOTH + 10) {
        TellModel(MODELID_BLUETOOTH, device, kind);
        return;
    }
    // ACC going off while the disc deck works: the DVD model finishes the
    // disc operation first.
    if (device == DEVNO_ACC && kind == AEV_COMPLETE && GetUnitLink().m_nDiscState != 0)
        TellModel(MODELID_DVD, device, kind);
    ViewCenter::DeviceStateIsChanged(device, kind);
}

void CKernelObj::OtherDeviceEvent(int device, int kind)
{
    CardIsPulled(device, kind);
}

void CKernelObj::CardIsPulled(int device, int kind)
{
    if (device != DEVNO_SD0)
        return;
    if (kind == AEV_DEFAULT) {
        NaviIsAvailable();
        return;
    }
    if (kind != AEV_DETACH)
        return;
    if (m_nNaviMode >= NAVI_LAUNCHING) {
        ShowCardPulledPopup(kMapPulledText);
    } else if (FindWindowW(nullptr, u"VoiceController")) {
        // The voice controller ran from the card: it is asked to close.
        CloseVoiceController();
        ShowCardPulledPopup(kVoicePulledText);
    }
    if (BYTE* setting = GetSettingStatus()) {
        if (SettingWord(setting, SETTING_SAVERTYPE) == kSaverPictures) {
            // The pictures of the screen saver were on the card.
            if (GetActiveView() == FID_PICTURESAVER)
                PushGlobalAction(IXA_BACK, AEV_DEFAULT, 0);
            PutSettingWord(setting, SETTING_SAVERTYPE, 0);
        }
    }
    NaviCardIsPulled();
}

void CKernelObj::NaviCardIsPulled()
{
    if (m_nNaviMode == NAVI_NONE)
        return;
    if (m_nMode < 3)
        NaviIsFailed(1);
    else
        NaviIsClosed();
    m_nNaviMode = NAVI_NONE;
}

void CKernelObj::ShowCardPulledPopup(const WCHAR* text)
{
    // The box stands over the navigation program's window; when it closes,
    // its answer (kind 4102 after the time-out) restarts the unit.
    auto* popup = new (std::nothrow) CWindowedMessagePopup(text, MPS_INFORMATION, 0, MPB_CANCEL, kCardPulledPopupMs);
    if (!popup) {
        IxRecordError(IXERR_NOMEMORY);
        return;
    }
    if (!popup->Show(this, FID_NAVI_DETACH_POPUP, kMessageBox, 1))
        delete popup;
}
