// The source chooser: a full-screen layer (FID_MODEPOPUP) with ten source
// buttons in a 5 x 2 grid over a framed background. The current source is
// highlighted when it opens; the remote's arrows, row keys and the mode key
// move the highlight, enter or a touch takes a source, and 5000 ms without
// input close it. The chosen source is switched to when the popup goes.
#pragma once

#include "Lib_cpp/controls/FrameView.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Types.h"

// One source button: its place, its picture (normal, pressed and disabled
// side by side), its id and the view it switches to.
struct ModeButton {
    int x;
    int y;
    const WCHAR* image;
    int id;
    int view;
};

class CModePopup : public IxFrameView {
public:
    static constexpr int kButtonCount = 10;
    static constexpr int kColumns = 5;
    static constexpr int kButtonWidth = 135;
    static constexpr int kButtonHeight = 136;
    static const ModeButton kButtons[kButtonCount];
    // The background picture's place and path.
    static const RECT kFrameRect;
    static const WCHAR kFrameImage[];

    CModePopup();

    // Builds the background, the frame picture and the buttons, and picks
    // the first highlight from the last view.
    int OnCreate(const IxElementParams* params) override;
    LRESULT OnEvent(int code, LPARAM param) override;
    int ActionIsInvoked(int code, int kind, LPARAM param) override;

    // The highlight the last view gives: the index of its button, 0 for a
    // view without one.
    static int IndexForView(int view);

    int GetHighlight() const { return m_nHighlight; }
    int GetInitialIndex() const { return m_nInitial; }
    BOOL IsChangePending() const { return m_bChange; }
    int GetChosenView() const { return m_nChosenView; }
    UINT_PTR CloseTimerId() const { return IxTimerId(&m_nCloseInterval); }

protected:
    // What the popup asks of the view center; a test answers for it.
    virtual int LastView() const;
    virtual int NaviState() const;
    virtual BOOL IsTiltShown() const;

private:
    // All buttons unpressed, the one at index pressed.
    void Highlight(int index, BOOL repaint);
    void RestartCloseTimer();
    void Close();
    // When the popup goes: hand the chosen source on as the navigation
    // state asks.
    void CloseStep();

    int m_nHighlight = 0;
    int m_nInitial = 0;
    int m_nLastView = 0;
    BOOL m_bChange = FALSE;
    int m_nChosenView = 0;
    int m_nCloseInterval = 5000;
    BOOL m_bListening = FALSE;
    // The ten buttons, four commands, five keys and the ending 0.
    DWORD m_filter[kButtonCount + 4 + 5 + 1] = {};
};
