// The rear-view camera screen: shown as a top layer while the reverse gear
// is in. The camera's picture lies in the video plane under the colour key;
// over it the screen draws the two parking guide lines and a caption. A hold
// of the caption (1000 ms) switches the adjustment mode on and off: seven
// buttons move, reshape and shorten each guide line and store the result in
// the Misc record. A touch on the free area switches the guide lines on and
// off (kept in the micom's status block, byte 64).
//
// While the screen is up it hides the current source's video, switches the
// audio processor to the camera, closes the pop-up layers and swallows the
// mode and held-key actions; when it goes, the restoration undoes that at
// once or, while the navigation program's window still has to come back,
// later through Leave (the main window's external notice).
//
// User-interface thread only.
#pragma once

#include "Source/screens/common/ColorKeySheet.h"
#include "platform/base/Types.h"

class IxImage;

class CRearViewSheet : public CColorKeySheet {
public:
    // The screen's elements.
    enum : int {
        ID_CAPTION = 14301, // the caption, a hold button
        ID_STORE = 14310,   // the adjustment buttons (adjustment mode only)
        ID_LEFTMODE = 14311,
        ID_RIGHTMODE = 14312,
        ID_LEFTUP = 14313,
        ID_RIGHTUP = 14314,
        ID_LEFTDOWN = 14315,
        ID_RIGHTDOWN = 14316,
    };
    // The sides of the guide lines.
    enum : int { SIDE_LEFT = 0, SIDE_RIGHT = 1 };
    // What a side's up and down buttons change: its selector's mode.
    enum : int { MODE_X = 0, MODE_Y = 1, MODE_SHAPE = 2, MODE_CUT = 3, MODE_COUNT = 4 };
    // The guide-line geometry: eight values, left then right of each kind,
    // kept in this order (little-endian) at the start of the Misc payload.
    enum : int { G_SHAPE = 0, G_X = 2, G_Y = 4, G_CUT = 6, G_COUNT = 8 };
    static constexpr int kShapeCount = 10;
    static constexpr int kStepMax = 9; // x and y steps
    static constexpr int kCutMax = 6;
    static constexpr int kCaptionHoldMs = 1000;
    // The call screens the screen closed (GetClosedCallScreen).
    enum : int { CALL_NONE = 0, CALL_SMALL = -1, CALL_LARGE = 1, CALL_PHONEBOOK = 2 };

    CRearViewSheet();
    ~CRearViewSheet() override;

    // Attach: hit-testable, the listener and the subscriptions; detach: both
    // go and the adjustment mode ends. Then the colour-key sheet's steps.
    LRESULT OnEvent(int code, LPARAM param) override;
    int ActionIsInvoked(int code, int kind, LPARAM value) override;
    // A press on the free area switches the guide lines (not while
    // adjusting).
    int OnInput(int code, LPARAM data) override;
    // The navigation picture alone when it is there; else the colour key,
    // the guide lines (when shown or adjusting), the children.
    void Draw(IxPaintRecord* record) override;
    // The guide-line state from the status block and the Misc payload, the
    // caption and the two line images.
    int OnCreate(const IxElementParams* params) override;

    void OnAttach() override;
    void OnResume() override;
    void OnDetach() override;

    // A restoration is pending: the screen went while the navigation
    // program's window was on its way back.
    static BOOL IsActive();
    // Restore, then a frame update.
    static void Leave();
    // Ends the camera state: no pending restoration, the camera audio off,
    // the video released.
    static void Restore();
    // The call screen the last resume closed (CALL_*).
    static int GetClosedCallScreen();

    // The geometry as kept in a Misc payload (little-endian words; null
    // gives zeros), each value outside its range read as 0.
    static void LoadGeometry(const BYTE* payload, int* geometry);
    // One up or down step of a side in a mode; FALSE when the value is at
    // its limit (or the mode is unknown).
    static BOOL StepGeometry(int* geometry, int side, int mode, BOOL up);

    BOOL AreLinesVisible() const { return m_bLinesVisible; }
    BOOL IsAdjusting() const { return m_bAdjusting; }
    int GetGeometry(int index) const { return m_geometry[index]; }
    IxImage* GetLineImage(int side) const { return m_pLine[side]; }
    IxImage* GetNaviPicture() const { return m_pNaviPicture; }
    // The rectangle a side's line is drawn into; empty without its image.
    RECT LineRect(int side) const;

protected:
    // The navigation state (GetNaviState) when the screen goes.
    virtual int NaviState() const;

private:
    void AddCaption();
    void SetAdjusting(BOOL on);
    void AddAdjustButtons();
    void RemoveAdjustButtons();
    void Adjust(int side, BOOL up);
    void Store();
    // The image of the side's current shape; null when it cannot be loaded.
    void LoadLine(int side);
    void ReleaseLines();
    void ReleaseImage(IxImage** slot);
    // Without the lines and the children, redrawn and the window updated
    // now (at the bottom of the windows first with toBottom).
    void ClearNow(BOOL toBottom);

    // The timer of the camera's audio switch: its id is this field's address.
    UINT_PTR AudioTimerId() const { return reinterpret_cast<UINT_PTR>(&m_nAudioTimer); }

    int m_nAudioTimer = 0;
    DWORD m_filter[9];
    IxImage* m_pNaviPicture = nullptr;
    IxImage* m_pLine[2]{};
    BOOL m_bLinesVisible = TRUE;
    BOOL m_bAdjusting = FALSE;
    BOOL m_bListening = FALSE;
    BOOL m_bMenuLayerTaken = FALSE; // the 3D menu's layer was on and showing when it came
    int m_geometry[G_COUNT]{};
};
