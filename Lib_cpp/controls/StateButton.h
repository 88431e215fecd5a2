// The framework's general pressable button and its list-row variant.
//
// IxStateButton draws a background over the whole element, up to two icons
// in their rectangles, an overlay image and one line of text in the text
// box; the text's font and the images' frames follow the element's state
// (normal, pressed, disabled, selected, selected and pressed, current).
// While pressed the text box moves by the press shift.
//
// IxItemButton, the row of the item containers, keeps a frame id per image,
// leaves its images (and, while input is refused, its text) out while
// disabled, and repaints the whole row when it is pressed.
#pragma once

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/controls/ElementText.h"
#include "platform/base/Types.h"

class IxImage;

class IxStateButton : public IxControl {
public:
    // Part codes of ClickAt.
    enum : int {
        CLICK_NONE = 0,
        CLICK_TEXT = 3,
        CLICK_ICON = 4,
        CLICK_ICON2 = 5,
    };

    IxStateButton(int pressShiftX, int pressShiftY);
    ~IxStateButton() override;

    LRESULT OnEvent(int code, LPARAM param) override;
    IxElement* FindTarget(int inputCode, POINT point) override;
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;
    int Query(int code, LPARAM* out) override;
    int SetProperty(int id, LPARAM value) override;
    // Contents: IXCONTENT_IMAGE the overlay, or the text.
    int OnCreate(const IxElementParams* params) override;
    // Click with the part under the point (CLICK_*) as the notice value.
    virtual void ClickAt(POINT point, BOOL repaint);

    const RECT& GetTextBox() const { return m_rcHit; }
    const RECT& GetTextRect() const { return m_rcText; }
    const RECT& GetIconRect() const { return m_rcIcon; }
    const RECT& GetIcon2Rect() const { return m_rcIcon2; }
    int GetFont() const { return m_nFont; }
    int GetBaseline() const { return m_nBaseline; }
    const IxString& GetText() const { return m_text.Get(); }

protected:
    // The images, by piece.
    enum Piece : int { BACKGROUND, ICON, ICON2, OVERLAY, PIECES };

    // The font the state asks for.
    int StateFont() const;
    // Changes the font in use; 1 when it changed. A font that differs only in
    // colour repaints the text box (with repaint); another lays the button
    // out again.
    BOOL ChangeFont(int font, BOOL repaint);
    // Sets a frame (IXFRAME_NEXTBACKGROUND: the next) on the background
    // (repaints the whole button) or an icon (repaints its rectangle).
    BOOL SetPieceFrame(int piece, int frame, BOOL repaint);
    // The rectangle of an icon piece.
    const RECT& PieceRect(int piece) const { return piece == ICON ? m_rcIcon : m_rcIcon2; }
    // Draws the pieces whose bit (1 << piece) is set, and the text.
    void DrawPieces(IxPaintRecord* record, unsigned pieces, bool text);

    IxImage* m_pImage[PIECES]{};
    RECT m_rcIcon{0, 0, 0, 0};
    RECT m_rcIcon2{0, 0, 0, 0};
    IxElementText m_text;
    RECT m_rcText{0, 0, 0, 0};
    int m_nFont = -1;
    // By property: normal, disabled, current, pressed, selected, selected
    // and pressed (IXP_FONT ... IXP_FONTSELECTEDPRESSED); -1 not given.
    int m_fonts[6]{-1, -1, -1, -1, -1, -1};
    int m_nShiftX;
    int m_nShiftY;
    int m_nBaseline = 0;
    // The icon and text rectangles are given as {x, y, width, height} until
    // the first layout turns them into edges.
    bool m_bLaidOut = false;
};

class IxItemButton : public IxStateButton {
public:
    using IxStateButton::IxStateButton;

    LRESULT OnEvent(int code, LPARAM param) override;
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;
    // IXP_FRAME, IXP_ICONFRAME and IXP_ICON2FRAME set the stored frame ids.
    int SetProperty(int id, LPARAM value) override;

private:
    BOOL StoreFrame(int piece, int frame);

    int m_frames[PIECES]{};
};
