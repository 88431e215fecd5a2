// The frame's key router: hardware keys (posted as commands, with the held
// key and its on-screen button), the key map, the access-gesture and
// key-sequence matchers, keyboard navigation up the focused element's chain
// and characters and text records to the focused text element. A part of
// the kernel frame, which it works on.
#pragma once

#include "platform/base/Types.h"

class IxElement;
class IxKernelFrame;
struct IxTextInput;

class IxKeyRouter {
public:
    explicit IxKeyRouter(IxKernelFrame& frame) : m_frame(frame) {}
    IxKeyRouter(const IxKeyRouter&) = delete;
    IxKeyRouter& operator=(const IxKeyRouter&) = delete;

    // A hardware key: posts {command, press or release} and shows the
    // on-screen button of buttonKey pressed or released (IXKEY_* flags).
    void NotifyExtKey(int command, int buttonKey, BOOL press, DWORD flags);
    void OnKeyDown(UINT key);
    void OnKeyUp(UINT key);
    void OnKeyRelease(UINT key);
    void OnChar(WCHAR ch);
    void OnTextInput(const IxTextInput* input);
    // Advances the access gestures by a touch; true when one advanced.
    BOOL MatchAccessGesture(POINT screenPoint);
    // The held key's time-out; false for another timer.
    BOOL OnTimer(UINT_PTR id);

    // The held hardware key's command, 0 when none.
    int GetHeldKey() const { return m_nHeldKey; }
    void SetHeldKeyTimeout(int ms) { m_nHeldKeyTimeout = ms; }

private:
    BOOL MatchKeySequence(UINT key);
    BOOL Navigate(int code);
    BOOL OfferKey(IxElement* element, int code);
    void RouteText(const IxTextInput* input);
    void ReleaseHeldKey();
    void ShowButton(int buttonKey, BOOL press);

    IxKernelFrame& m_frame;
    int m_nHeldKey = 0; // command of the held hardware key
    DWORD m_dwHeldFlags = 0;
    int m_nHeldButton = 0;
    int m_nHeldKeyTimeout = 0;
};
