// The message popup on a window of its own (a child-window view), so that
// it stands over the navigation program's window: the kernel object's
// warnings (MPS_HDDWARNING is the hard-disk warning). Rows, buttons,
// time-out and notices are those of CMessagePopup, with two differences:
// taken away before it answered it posts no notice; instead, over the
// navigation map it leaves the colour key behind (navigation state 2) or
// has the navigation program show itself again (state 3).
//
//     auto* popup = new CWindowedMessagePopup(u"음성인식 실행 준비중에 있습니다.", MPS_INFORMATION, 0,
//                                             MPB_CANCEL, 2000);
//     popup->Show(this, 10093, kMessageBox, 1); // this hears {10093, PPN_CLOSED} after 2 s
#pragma once

#include "Lib_cpp/controls/ChildWindowView.h"
#include "Lib_cpp/core/String.h"
#include "Source/screens/common/MessagePopup.h"
#include "platform/base/Types.h"

class CWindowedMessagePopup : public IxChildWindowView {
public:
    // The hard-disk warning's narrower rows and their base.
    static constexpr int kWarningRowWidth = 390;
    static constexpr int kWarningRowBase = 70;
    static const WCHAR kWarningImage[];

    CWindowedMessagePopup(LPCWSTR text, int style, int lineCount, int buttons, int timeoutMs);
    ~CWindowedMessagePopup() override;

    // Gives the popup its id and place (screen coordinates) and pushes it as
    // the top layer of the level (1 and up; its own window is painted only
    // as a top layer) owned by the owner (none: a layer of its own). The
    // frame owns the popup from here on. 0 when the kernel is missing, the
    // id is not positive, or the popup was shown already.
    BOOL Show(IxElement* owner, int id, const RECT& rect, int level);

    int OnCreate(const IxElementParams* params) override;
    LRESULT OnEvent(int code, LPARAM param) override;
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    int OnInput(int code, LPARAM data) override;

    void SetModal(BOOL modal) { m_bModal = modal; }
    BOOL IsModal() const { return m_bModal; }

    const IxString& GetText() const { return m_text; }
    int GetStyle() const { return m_nStyle; }
    int GetButtons() const { return m_nButtons; }
    int GetRowCount() const { return m_nRows; }
    BOOL HasAnswered() const { return m_bAnswered; }

protected:
    // The navigation program's state (ViewCenter); a test answers for it.
    virtual int NaviState() const;
    void Answer(int notice);
    // Taken away over the navigation map: what is left where it was.
    void LeaveOverNavigation();

    BOOL m_bModal = FALSE;
    IxString m_text;
    int m_nStyle;
    int m_nButtons;
    int m_nLineCount;
    int m_nTimeout;
    int m_nRows = 0;
    BOOL m_bAnswered = FALSE;
    BOOL m_bShown = FALSE;
};
