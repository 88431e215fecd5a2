// The capture popup: one picture over the whole popup, shown for a moment
// after a screen capture; it closes itself after its display time (0: it
// stays until its screen takes it away).
//
//     auto* popup = new CCapturePopup(nullptr, 1000); // the DVD capture picture
//     popup->Show(this, 10811, RECT{138, 175, 138 + 524, 175 + 129}, -1);
#pragma once

#include "Lib_cpp/controls/View.h"
#include "Lib_cpp/core/String.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Types.h"

class CCapturePopup : public IxView {
public:
    // The picture when none is given.
    static const WCHAR kDefaultImage[];

    // imagePath: null or empty for the default picture.
    CCapturePopup(LPCWSTR imagePath, int displayMs);
    ~CCapturePopup() override;

    // Gives the popup its id and place and pushes it at the priority as a
    // layer of the owner (none: a layer of its own); the frame owns it from
    // here on. 0 without a kernel, with an id below 1, or when shown already.
    BOOL Show(IxElement* owner, int id, const RECT& rect, int priority);

    int OnCreate(const IxElementParams* params) override;
    LRESULT OnEvent(int code, LPARAM param) override;

    int GetDisplayTime() const { return m_nDisplay; }
    const IxString& GetImagePath() const { return m_path; }
    UINT_PTR TimerId() const { return IxTimerId(&m_nDisplay); }

private:
    int m_nDisplay;
    IxString m_path;
    BOOL m_bShown = FALSE;
};
