// The message popup: one to three lines of text on an information, question
// or custom background, with no button, OK, Cancel or both, closing itself
// after a time-out when one is given.
//
// Its owner hears it as actions whose id is the popup's id and whose kind is
// a PPN_* notice: PPN_OK when OK is pressed (or, without buttons, the popup
// is touched), PPN_CANCEL for Cancel, PPN_CLOSED when the time-out closes it
// or it is taken away. It answers once; the layer goes after the current
// broadcast.
//
//     auto* popup = new CMessagePopup(u"저장할까요?\n다시 묻지 않습니다.", MPS_QUESTION, 0, MPB_OKCANCEL, 0);
//     popup->Show(this, 10066, kMessageBox, -1); // this hears {10066, PPN_OK} ...
#pragma once

#include "Lib_cpp/controls/View.h"
#include "Lib_cpp/core/String.h"
#include "Source/screens/common/PopupParts.h"
#include "platform/base/Types.h"

// Styles: the background.
enum : int {
    MPS_INFORMATION = 1,
    MPS_QUESTION = 3,
    MPS_HDDWARNING = 5, // the windowed popup's hard-disk warning
    MPS_CUSTOM = 6,     // the background is the picture named by the second text
};

// Button sets.
enum : int {
    MPB_NONE = 0,
    MPB_OK = 1,
    MPB_CANCEL = 2,
    MPB_OK2 = 3,
    MPB_CANCEL2 = 4,
    MPB_OKCANCEL = 5,
    MPB_OKCANCEL2 = 6,
    MPB_OKCANCEL3 = 7,
};

// The standard message box, in the screen's coordinates.
inline constexpr RECT kMessageBox{138, 83, 138 + 524, 83 + 314};

class CMessagePopup : public IxView {
public:
    // Lines and places of the popup's rows and buttons.
    static constexpr int kMaxRows = 3;
    static constexpr int kRowX = 11;
    static constexpr int kRowWidth = 503;
    static constexpr int kRowHeight = 28;
    static constexpr int kRowBase = 130;            // without buttons
    static constexpr int kRowBaseWithButtons = 119; // with buttons
    static constexpr int kButtonWidth = 245;
    static constexpr int kButtonHeight = 52;
    static constexpr int kButtonY = 255;
    static constexpr int kOkX = 10;      // OK beside Cancel
    static constexpr int kCancelX = 270; // Cancel beside OK
    static constexpr int kSingleX = 140; // a single button
    static const WCHAR kInformationImage[];
    static const WCHAR kQuestionImage[];
    static const WCHAR kOkImage[];
    static const WCHAR kCancelImage[];

    // text: the message (lines cut at CR, LF or CR LF); secondText: with
    // MPS_CUSTOM the background picture's path. lineCount 0 counts the
    // text's lines; timeoutMs 0 keeps the popup until it is answered.
    CMessagePopup(LPCWSTR text, LPCWSTR secondText, int style, int lineCount, int buttons, int timeoutMs);
    CMessagePopup(LPCWSTR text, int style, int lineCount, int buttons, int timeoutMs);
    ~CMessagePopup() override;

    // Gives the popup its id and place (screen coordinates) and pushes it
    // at the priority as a layer of the owner (none: a layer of its own).
    // The frame owns the popup from here on. 0 when the owner or kernel is
    // missing, the id is not positive, or the popup was shown already.
    BOOL Show(IxElement* owner, int id, const RECT& rect, int priority);
    // Shows the popup as the frame's modal layer and runs the modal loop
    // until OK (1), Cancel (2) or the time-out (0) ends it; -1 when it
    // could not be shown. The popup is gone when this returns.
    int ShowModal(IxElement* owner, int id, const RECT& rect);

    // The creation record may carry the text (string contents) and the
    // rows' right alignment (IXF_HEND).
    int OnCreate(const IxElementParams* params) override;
    LRESULT OnEvent(int code, LPARAM param) override;
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    // Takes every press on its area; without buttons a press answers it.
    int OnInput(int code, LPARAM data) override;

    // Set when the kernel's modal loop shows the popup: OK and Cancel then
    // end the loop with 1 and 2 instead of posting a notice.
    void SetModal(BOOL modal) { m_bModal = modal; }
    BOOL IsModal() const { return m_bModal; }

    const IxString& GetText() const { return m_text; }
    int GetStyle() const { return m_nStyle; }
    int GetButtons() const { return m_nButtons; }
    int GetRowCount() const { return m_nRows; }
    int GetTimeout() const { return m_nTimeout; }
    // 1 once the popup has told its owner (or the modal loop) its answer.
    BOOL HasAnswered() const { return m_bAnswered; }

    static BOOL HasOk(int buttons);
    static BOOL HasCancel(int buttons);
    // The background picture of a style (null: none).
    static LPCWSTR BackgroundFor(int style, LPCWSTR secondText);

protected:
    // Tells the owner (or the modal loop) the answer and has the layer
    // removed after the current broadcast; only the first answer counts.
    void Answer(int notice);

    BOOL m_bModal = FALSE;
    IxString m_text;
    int m_nStyle;
    int m_nButtons;
    int m_nLineCount;
    int m_nTimeout;
    IxString m_secondText;
    int m_nRows = 0;
    BOOL m_bAnswered = FALSE;
    BOOL m_bShown = FALSE;
};
