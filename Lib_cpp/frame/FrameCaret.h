// The caret of the main window: the rectangle the frame last applied (window
// coordinates; width 0 is no caret), made, moved, shown and destroyed on the
// platform's caret.
#pragma once

#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Types.h"

class IxFrameCaret {
public:
    IxFrameCaret() = default;
    ~IxFrameCaret() { Drop(); }
    IxFrameCaret(const IxFrameCaret&) = delete;
    IxFrameCaret& operator=(const IxFrameCaret&) = delete;

    // Takes the request: a new size remakes the caret for the window (none
    // when hwnd is null), then a caret with a width is placed and shown.
    void Apply(const IxCaretRect& request, HWND hwnd);
    // Recreates and shows (on) or destroys the caret of the stored rectangle.
    void Show(BOOL on, HWND hwnd);
    // Destroys a caret that is up and forgets the rectangle.
    void Drop();
    // Forgets the rectangle without touching the platform's caret.
    void Reset() { m_caret = IxCaretRect{0, 0, 0, 0}; }
    const IxCaretRect& Get() const { return m_caret; }

private:
    IxCaretRect m_caret{0, 0, 0, 0};
};
