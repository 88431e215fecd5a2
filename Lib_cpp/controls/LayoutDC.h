// A drawing context of the main window for layout: elements measure their
// texts on it outside paint (kernel service IXSVC_OPENDC, no buffer). It is
// ended when the holder goes.
#pragma once

#include "Lib_cpp/core/Draw.h"
#include "platform/base/Types.h"

class IxLayoutDC {
public:
    IxLayoutDC();
    ~IxLayoutDC();
    IxLayoutDC(const IxLayoutDC&) = delete;
    IxLayoutDC& operator=(const IxLayoutDC&) = delete;

    // Null without a kernel or a window.
    IxDC* Get() const { return m_pDC; }
    // The font table row, or null.
    const IxFontEntry* Font(int i) const;

private:
    IxDC* m_pDC;
};
