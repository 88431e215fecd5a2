// The model-bound sheet: the base of every full screen that shows one
// source model. It binds the sheet to the model (listens to the model's
// notifications while attached), takes the model's source when the screen
// comes up and gives it back when it goes, keeps the standard children
// (transport buttons, progress, time and track texts, info texts, the
// park-brake indicator) up to date, runs the device cycle (waiting for the
// device, the connecting and status pop-ups), shows timed messages and
// turns the child buttons' commands into model requests.
//
// Concrete sheets build their children in BuildChildren, register their
// numbered panels as indicators keyed by panel number (MSP_*), and override
// the hooks they need. User-interface thread only.
#pragma once

#include "Lib_cpp/controls/Sheet.h"
#include "Lib_cpp/core/String.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/screens/common/SheetCodes.h"
#include "Source/screens/common/SourceModel.h"
#include "platform/base/Types.h"

class CModelSheet : public IxSheet {
public:
    // popupInterval: ms of the device-wait and pop-up timers (0 = none). The
    // model (may be null) is held until the sheet goes.
    CModelSheet(int popupInterval, IxSourceModel* model);
    ~CModelSheet() override;

    LRESULT OnEvent(int code, LPARAM param) override;
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    int OnCreate(const IxElementParams* params) override;

    IxSourceModel* GetModel() const { return m_pModel; }
    int GetZone() const { return m_nZone; }
    int GetStatusState() const { return m_nStatus; }
    int GetPopupState() const { return m_nPopupState; }
    DWORD GetMissingChildren() const { return m_dwMissing; }
    void SetTakeAtShow(BOOL on) { m_bTakeAtShow = on; }
    void SetUpdateInterval(int ms) { m_nUpdateInterval = ms; }
    // Timer ids: the device-wait, pop-up and message timers.
    UINT_PTR DeviceWaitTimerId() const { return IxTimerId(&m_nPopupInterval); }
    UINT_PTR PopupTimerId() const { return IxTimerId(&m_nPopupTimer); }
    UINT_PTR MessageTimerId() const { return IxTimerId(&m_nMessageTimer); }
    BOOL IsMessageTimerRunning() const { return m_nMessageTimer != kMessageIdle; }

    // ---- Operations of the screen, each a hook a concrete sheet may replace ----
    virtual void BuildChildren() {}
    // A page came up: the mask of missing children, every standard child,
    // the indicators.
    virtual void PageShown();
    // Takes and gives back the model's source.
    virtual void EnterSource();
    virtual void LeaveSource();
    // Decides the device cycle's state from the model.
    virtual void CheckDevice();
    // Starts what the device cycle's state asks for.
    virtual void StartSource();
    virtual void AfterDetach() {}
    // The device reported (ready or not).
    virtual void DeviceReported(BOOL ready);
    virtual void Connect();
    // Hides the message panels, closes the pop-ups, refreshes every
    // standard child.
    virtual void ResetView();
    // The pop-up layers of the connecting and status states (null: the
    // numbered panel stands for them; the caller owns what it gets).
    virtual IxElement* MakeConnectingPopup() { return MakeStatusPopup(); }
    virtual void ConnectingPopupClosed() {}
    virtual IxElement* MakeStatusPopup() { return nullptr; }
    virtual void StatusPopupClosed() {}
    virtual void CurrentNodeChanged();
    virtual void OnShow();
    // The detach step the source screens share.
    virtual void DetachShared() {}
    // Shows message code; the display time comes from MessagePanel.
    virtual void ShowMessage(int code);
    // Shows the message's panel; answers its display time: -1 or 1 closes at
    // once, 0 keeps it until closed, other values close after |value| ms
    // (negative: the sheet closes itself then, positive: it goes back).
    virtual int MessagePanel(int code);
    virtual IxElement* MakeMessagePopup(int) { return nullptr; }
    virtual void RequestSkip(int direction);
    virtual void RequestSearch(int direction);
    // Play modes (SPM_MODE25..27) and order modes (SPM_ORDER29, 30).
    virtual void SetPlayMode(int mode);
    virtual void ClearPlayMode();
    virtual void SetOrderMode(int mode);
    virtual void ClearOrderMode();
    // The model's video went on (1) or off (0).
    virtual void ShowVideoState(BOOL) {}
    // Shows or hides numbered panel n (the sheet's indicator of key n).
    virtual void ShowPanel(int n, BOOL on);
    virtual void SetInfoText(int which, const IxString& text);
    virtual void ShowPlayState(BOOL playing);
    virtual void ShowPosition(int position);
    virtual void ShowTrackTotal();
    virtual void ShowTrackNumber();
    virtual void ShowParkBrake(BOOL applied);

    // Closes the message: the timer stops, then the stored display time
    // decides (negative: event 202 for the sheet, positive: back).
    void CloseMessage();
    void OpenStatusPopup();
    void CloseStatusPopup();
    void OpenConnectingPopup();
    void CloseConnectingPopup();
    void HideMessagePanels();
    // Every standard child from the model.
    void RefreshChildren();
    void ShowLength(int length);
    // Group B (video while driving) or A, by the model's video and the park
    // brake.
    void SwitchVideoPageGroup();
    // Whether the model stands ready for the main pages.
    virtual BOOL IsModelReadyOnMainPage() const;
    static BOOL IsParkBrakeApplied();

protected:
    void OnPageChanged() override { PageShown(); }
    // The flags the source is taken and given back with.
    DWORD SourceFlags() const;
    BOOL Has(unsigned bit) const { return (m_dwMissing & bit) == 0; }
    void ShowModeIcons();
    void RememberPages();
    int OnModelNotice(int kind, LPARAM value);
    int OnChildCommand(int id, int kind, LPARAM value);
    void ToggleMode(int mode, BOOL isOrder);
    static constexpr int kMessageIdle = 1;

    int m_nZone = 0;
    IxSourceModel* m_pModel;
    BOOL m_bTakeAtShow = FALSE;
    int m_nPopupInterval;
    int m_nPopupTimer; // the pop-up timer's own interval (same value)
    int m_nUpdateInterval = 0;
    int m_nStatus = MSS_IDLE;
    IxString m_strPositionPattern;
    IxString m_strLengthPattern;
    int m_nPopupState = MSU_NONE;
    DWORD m_dwMissing = 0;
    int m_nMessageTimer = kMessageIdle;
    DWORD m_filter[40] = {};
};
