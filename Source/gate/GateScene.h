// The 3D menu's scene: every drawable of the menu and its state: which main
// button is active (the mode), which element is pressed, which sub-button
// is selected, which popups are shown and the per-frame animation counters.
// The sheet changes the state from touches and calls Render once per frame;
// the resource loader fills the images. User-interface thread only, except
// the images, which the loader writes (GateLoaderThread.h).
#pragma once

#include "Source/gate/GateCodes.h"
#include "Source/gate/GateImageTable.h"
#include "Source/gate/GateLoaderThread.h"
#include "platform/base/Types.h"

#include <string>

namespace gate {

class CGateScene {
public:
    // Particles of the sparkle, and the colours computed for them.
    static constexpr int kSparkleParticles = 11;
    static constexpr int kSparkleColours = 16;
    // The flip of the active main button runs over the frames 2-20 of its
    // array, one step every second frame.
    static constexpr int kFirstFlipFrame = 2;
    static constexpr int kLastFlipFrame = 20;
    // The volume popup's bar images cover steps 0-51, its digits 0-99.
    static constexpr int kMaxVolumeShown = 99;

    CGateScene();
    CGateScene(const CGateScene&) = delete;
    CGateScene& operator=(const CGateScene&) = delete;

    GateSceneImages& Images() { return m_images; }

    // The loader that fills the images (the sheet's); the group checks go to
    // it. Without one no group is ever in.
    void SetLoader(GateLoaderThread* loader) { m_pLoader = loader; }
    BOOL IsGroupLoaded(int group);
    BOOL WaitUntilResFinished(int group);

    // Shows the element pressed (1) or not (0); a press also makes it the
    // pressed element. The title buttons lose their pressed look first. A
    // main button becomes the mode; a sub-button takes the pressed look from
    // every other.
    void Press(GateButtonId id, BOOL pressed);
    GateButtonId GetPressed() const { return m_nPressed; }
    GateMode GetMode() const { return m_nMode; }
    // Presses the main button and shows its row at once (no animation),
    // then selects the button.
    void SetMode(GateMode mode, GateButtonId button);
    // Presses the button; the selected look goes to it alone (when it is a
    // sub-button).
    void SelectButton(GateButtonId button);

    void ShowVolume(int step);
    void HideVolume() { m_bVolumeShown = FALSE; }
    void ShowPopup1() { m_bPopup1 = TRUE; }
    void HidePopup1() { m_bPopup1 = FALSE; }
    void ShowPopup2() { m_bPopup2 = TRUE; }
    void HidePopup2() { m_bPopup2 = FALSE; }
    void SetVolumeButtons(BOOL minusPressed, BOOL plusPressed);
    void SetOkPressed(BOOL pressed);
    // Which AV title button shows: set the AV-on image, clear the AV-off one.
    void SetAvFlag(BOOL on) { m_bAvFlag = on; }
    BOOL GetAvFlag() const { return m_bAvFlag; }
    // The background picture (a unit path); reloaded when it changed.
    void SetBackground(const std::string& path);

    // Draws one frame; the caller has cleared the buffers, loaded the
    // identity matrix and holds the GL lock.
    void Render();

    BOOL IsVolumeShown() const { return m_bVolumeShown; }
    BOOL IsPopup1Shown() const { return m_bPopup1; }
    BOOL IsPopup2Shown() const { return m_bPopup2; }
    int GetVolume() const { return m_nVolume; }
    int GetFlipFrame() const { return m_nFrame; }
    GateMode GetAppliedMode() const { return m_nAppliedMode; }
    // The bar image and the number the volume popup shows for its step.
    static int VolumeBarIndex(int step);
    static int VolumeNumber(int step);

private:
    void DrawSparkle();
    void DrawShadows();
    void AdvanceFlip();
    void ApplyModeChange();
    void DrawMainButtons();
    void DrawTitle();
    void DrawSubButtons();
    void DrawPopups();
    void DrawVolume();
    void DrawDigit(int digit, float x);
    GateButton& Label(GateButtonId mainButton);

    GateSceneImages m_images;
    GateLoaderThread* m_pLoader = nullptr;
    GateMode m_nMode = GateMode::None;
    GateMode m_nAppliedMode = GateMode::None;
    BOOL m_bVolumeShown = FALSE;
    BOOL m_bPopup1 = FALSE;
    BOOL m_bPopup2 = FALSE;
    int m_nVolume = 0;
    GateButtonId m_nPressed = GateButtonId::None;
    int m_nFrame = 0;
    int m_nFrameParity = 0;
    int m_nSparkleCounter = 0;
    int m_nHighlightX = 0;
    float m_red[kSparkleColours] = {};
    float m_green[kSparkleColours] = {};
    float m_blue[kSparkleColours] = {};
    BOOL m_bAvFlag = FALSE;
};

} // namespace gate
