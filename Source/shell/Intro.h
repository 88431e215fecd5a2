// The intro: the start-up screen the shell runs once when ACC comes on. The
// unit's name flies in letter by letter over a background picture while the
// start-up chime plays, every letter twinkles, and the intro ends by queueing
// its own view id as an action (FID_INTRO), on which the shell goes on to the
// first screen. While it is up it takes the AV/navigation key and the mode
// popup request, so that they change nothing.
//
// - CIntro: the screen (view id FID_INTRO), a page of the kernel frame.
//   Its content (background and letters) is built when it is first
//   activated, and dropped again when it is deactivated.
// - CIntroLetter: one letter (or the caption under the name), a view
//   holding a four-frame picture (child FID_INTRO_IMAGE) that slides in
//   along a table of positions after a start delay, twinkles, and twinkles
//   once more together with the others on ACMD_INTRO_RETWINKLE.
#pragma once

#include "Lib_cpp/controls/View.h"
#include "platform/base/Types.h"

#include <string>

class CIntro;

// Element timers of the intro and its letters.
enum : UINT_PTR {
    TMID_SLIDE = 1,      // a letter moves to its next position, every 50 ms
    TMID_TWINKLE = 2,    // a letter's twinkle after its slide, every 100 ms
    TMID_DELAY = 3,      // a letter's start delay
    TMID_RE_TWINKLE = 4, // the twinkle all letters make together, every 100 ms
    TMID_INTRO_END = 6,  // the intro ends at the latest this long after it was attached
};

inline constexpr int kIntroPositionCount = 19;

// One letter of the intro: its id, the picture name (frames "<name>_1.png"
// to "<name>_4.png" in the logo folder), the start delay in ms, the step
// counts of its slide, twinkle and second twinkle, and where it stands at
// each slide step (x at y 172 for the letters, y at x 276 for the caption).
struct CIntroLetterSpec {
    int nId;
    const WCHAR* pszName;
    int nDelay;
    int nSlideCount;
    int nTwinkleCount;
    int nReTwinkleCount;
    int positions[kIntroPositionCount];
};

class CIntroLetter : public IxView {
public:
    // The letter ends the intro through intro (the caption's second
    // twinkle); intro may be null for a letter on its own.
    CIntroLetter(const CIntroLetterSpec& spec, CIntro* intro);

    LRESULT OnEvent(int code, LPARAM param) override;
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    // Loads the four frames and makes the picture child (FID_INTRO_IMAGE);
    // the letter takes the picture's size.
    int OnCreate(const IxElementParams* params) override;

    // The point the letter starts at.
    POINT StartPoint() const;

private:
    void OnTimer(UINT_PTR id);
    void Slide();
    void Twinkle();
    void ReTwinkle();
    void ShowFrame();
    POINT PointAt(int step) const;

    const CIntroLetterSpec& m_spec;
    CIntro* m_pIntro;
    DWORD m_filter[2];
    int m_nStep = 0;  // slide and twinkle steps made, or second-twinkle steps made
    int m_nFrame = 0; // the picture's frame shown
};

class CIntro : public IxView {
public:
    // Full screen, hidden, built on first activation: the shell makes it
    // the frame's active page and then shows it.
    CIntro();

    LRESULT OnEvent(int code, LPARAM param) override;
    // Takes ACMD_KEY_MODE and FID_EXT_MODEPOPUP while the intro is up.
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    // Builds the background and the seven letters, in the table's order.
    int OnCreate(const IxElementParams* params) override;

    // Queues the intro's end (FID_INTRO) unless it is queued already; the
    // end timer is not needed any more.
    void QueueEnd();

    // The background: the picture named (by the settings) when that file
    // exists, else the default wallpaper.
    static std::u16string BackgroundPath(LPCWSTR named);

    // How long the intro runs on its own timers: from when it is shown to
    // the end its caption queues (the caption's delay, slide and second
    // twinkle, each timer's last round included).
    static int TimedLengthMs();

private:
    BOOL m_bEndQueued = FALSE;
};
