// The 3D main menu's screen (view 3101): it hosts the menu's scene, draws a
// frame every 50 ms, turns touches into presses, selections and volume
// steps, and opens the chosen screen by queuing that screen's view id as an
// action 300 ms after the touch that chose it. After 5000 ms without a touch
// it queues the back command.
//
// Its resource loader starts once the first frame of the unit has been
// painted (or at once when a group is needed); the loader thread sets up
// the menu's EGL display and contexts, so the images load while the intro
// plays and the unit's start does not wait for EGL. The start-up creates it once with the
// shell's services and pushes it as a screen layer when the menu is to show.
//
// The menu draws into its own display layer (GateUiLayer.h), which shows
// beneath the windows where they draw the colour key: the sheet paints its
// whole area with the colour key and then locks the kernel's GDI painting
// while it is up.
#pragma once

#include "Lib_cpp/controls/IdleViews.h"
#include "Source/gate/GateCodes.h"
#include "Source/gate/GateImageTable.h"
#include "Source/gate/GateLoaderThread.h"
#include "Source/gate/GateScene.h"
#include "Source/gate/GateShell.h"

#include <memory>

namespace gate {

// The volume button held on the volume popup.
enum class GateVolumeHeld : int { None = 0, Down = 1, Up = 2 };
// The volume repeat: the first (slow) repeat pending, repeating, stopped.
enum class GateRepeat : int { Stop = -1, Repeating = 0, FirstPending = 1 };

class CGateSheet : public IxIdleFrameView {
public:
    static constexpr int kIdleMs = 5000;
    static constexpr int kFrameMs = 50;
    static constexpr int kOpenDelayMs = 300;
    static constexpr int kVolumeFirstRepeatMs = 800;
    static constexpr int kVolumeRepeatMs = 100;
    static constexpr int kLoaderPriority = 7;

    // shell may be null (GateShell.h). The sheet is 800x480 at 0, 0 with the
    // menu's view id.
    explicit CGateSheet(IxGateShell* shell = nullptr);
    ~CGateSheet() override;

    int OnCreate(const IxElementParams* params) override;
    LRESULT OnEvent(int code, LPARAM param) override;
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    // Touch: 0 down, 9 move, 11 up (18, a quick release, as 11).
    int OnInput(int code, LPARAM data) override;
    // The colour key over the whole sheet: the menu's layer shows through.
    void Draw(IxPaintRecord* record) override;

    // The main or sub-button that stands for a view; None (after logging)
    // for a view the menu has no button for.
    static GateButtonId ViewToButton(int viewId);
    // The mode the menu opens in when the view was the last source shown.
    static GateMode ModeForView(int viewId);

    CGateScene& Scene() { return m_scene; }
    GateLoaderThread& Loader() { return *m_lpLoader; }
    // Starts the picture loader unless it has started: at the first timer
    // round after creation, or at once when the menu comes up first.
    void StartLoader();
    BOOL IsVolumeMode() const { return m_bVolumeMode; }
    int GetNextView() const { return m_nNextView; }

    UINT_PTR FrameTimerId() const { return IxTimerId(&m_nFrameInterval); }
    UINT_PTR RepeatTimerId() const { return IxTimerId(&m_nRepeatInterval); }
    UINT_PTR OpenTimerId() const { return IxTimerId(&m_nOpenInterval); }
    UINT_PTR LoaderTimerId() const { return IxTimerId(&m_lpLoader); }

private:
    void OnAttached();
    void OnDetached();
    void OnTimer(UINT_PTR id);
    void RenderFrame();
    // Makes the menu's context current on this thread with the menu's GL
    // state, once.
    void TakeContext();
    void RestoreModeFromLastView();
    // Makes sure the group's images are in, waiting for the loader when not.
    void EnsureGroup(int group);
    void ShowVolume(int step);
    void StepVolume(int step);
    void HidePopups();

    void MainButtonDown(POINT pt);
    void TitleDown(POINT pt);
    BOOL TitleUp(POINT pt);
    void SubButtonDown(POINT pt);
    void Select(POINT pt);
    void VolumeDown(POINT pt);
    void VolumeUp(POINT pt);
    void PopupDown(POINT pt);
    void PopupUp(POINT pt);
    void Queue(int code);
    void QueueBack();

    IxGateShell* m_pShell;
    CGateScene m_scene;
    std::unique_ptr<GateImageTable> m_table;
    std::unique_ptr<GateLoaderThread> m_lpLoader;
    GateButtonId m_nPressedButton = GateButtonId::None;
    int m_nNextView = -1;
    GateVolumeHeld m_nVolumeDir = GateVolumeHeld::None;
    BOOL m_bVolumeMode = FALSE;
    BOOL m_bPopup1 = FALSE;
    BOOL m_bPopup2 = FALSE;
    GateRepeat m_nRepeat = GateRepeat::FirstPending;
    BOOL m_bPaintLocked = FALSE;
    BOOL m_bContextTaken = FALSE;
    BOOL m_bLoaderStarted = FALSE;
    // The timers: their ids are these words' addresses.
    int m_nFrameInterval = kFrameMs;
    int m_nRepeatInterval = kVolumeFirstRepeatMs;
    int m_nOpenInterval = kOpenDelayMs;
    DWORD m_listenerTable[7];
};

} // namespace gate
