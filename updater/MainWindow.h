// The updater's window: the status panel on black, the busy animation and
// the progress bar. The update sequence that drives it runs on its thread.
#pragma once

#include "updater/BaseWindow.h"
#include "updater/BusyAnimation.h"
#include "updater/ProgressBar.h"
#include "updater/ProgressTicker.h"

class CMainWIndow : public CBaseWindow {
public:
    static constexpr int kPanelX = 101;
    static constexpr int kPanelY = 63;
    static constexpr int kPanelWidth = 598;
    static constexpr int kPanelHeight = 354;

    CMainWIndow();
    ~CMainWIndow() override;

    // Registers the class "WrenUpdater" and makes the full-screen window.
    virtual BOOL Create(HINSTANCE instance);

    // Draws the title, text and note (each when given and not empty) on a
    // fresh copy of the panel and shows the part that holds them.
    void ShowStatus(LPCWSTR title, LPCWSTR text, LPCWSTR note);
    // Moves the bar to elapsed / duration.
    void UpdateProgress(DWORD duration, DWORD elapsed);

    CProgressBar& ProgressBar() { return m_progressBar; }
    CBusyAnimation& BusyAnimation() { return m_busyAnimation; }
    CProgressTicker& ProgressTicker() { return m_progressTicker; }

    void OnPaint(HDC dc) override;
    void OnCreate() override;
    void OnClose() override;
    void OnDestroy() override;

private:
    CProgressBar m_progressBar;
    CBusyAnimation m_busyAnimation;
    CProgressTicker m_progressTicker;
};
