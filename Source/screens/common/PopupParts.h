// What the shared popups are built from: the backdrop image that lays a
// plain fill under a picture (so that a popup whose picture is missing still
// reads as a popup), the OK and Cancel buttons with a written caption when
// their picture is missing, the text rows, the cutting of a message into
// lines, and the notices a popup gives its owner.
#pragma once

#include "Lib_cpp/controls/View.h"
#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/String.h"
#include "Lib_cpp/image/Image.h"
#include "platform/base/Types.h"

class IxStateButton;
class IxStaticText;

// The notices a popup posts to its owner, as the kind of an action whose id
// is the popup's own id.
enum : int {
    PPN_OK = AEV_DEFAULT,      // OK pressed, or a popup without buttons touched
    PPN_CANCEL = AEV_ABORT,    // Cancel pressed
    PPN_CLOSED = AEV_COMPLETE, // closed by its time-out or taken away
};

// Slots of the unit's font index array the popups write in.
enum : int {
    FONTSLOT_POPUPTEXT = 52,    // 22 px white: message lines and button captions
    FONTSLOT_POPUPWARNING = 41, // 19 px white: the hard-disk warning's lines
    FONTSLOT_OKPOPUP = 61,      // 24 px white: the OK popup's lines
};

// The popups' plain colours: the fill under a popup's picture and the
// fill of a button without its picture.
inline constexpr COLORREF kPopupFill = RGB(28, 36, 48);
inline constexpr COLORREF kPopupButtonFill = RGB(52, 66, 86);

// Draws a fill over the whole destination, then the picture over it. Frame
// and state commands go to the picture.
class CPopupBackdrop : public IxImageProxy {
public:
    // The picture's reference passes to the backdrop (null: the fill alone).
    CPopupBackdrop(COLORREF fill, IxImage* picture);
    BOOL Draw(IxDC* dc, const RECT& dst, const RECT* clip) override;

private:
    COLORREF m_crFill;
};

// 1 when the unit has a file at the path.
BOOL PopupPictureExists(LPCWSTR path);
// The font table row of a slot of the unit's font index array.
int PopupFont(int slot);

// Cuts the text into lines at CR, LF or CR LF; an empty piece between two
// breaks is an empty line, a break at the very end adds no line. Returns the
// number of lines.
int SplitPopupLines(LPCWSTR text, IxStringArray* lines);
// The number of text rows a popup shows: the given count when it is 1 to 3,
// else (0, or a count the popup has no rows for) the text's line count
// limited to 1 ... 3.
int PopupRowCount(int given, int textLines);

// Adds a static text row to the view: id, box, flags, font and text.
IxStaticText* AddPopupRow(IxView* view, int id, const RECT& box, DWORD flags, int font, LPCWSTR text);
// Adds a button whose picture is `frames` frames side by side in one file
// (normal, pressed). When the file is missing the button is a plain fill
// with the caption written on it.
IxStateButton* AddPopupButton(IxView* view, int id, const RECT& box, DWORD flags, LPCWSTR picture, int frames,
                              LPCWSTR caption);
// The same with one file per frame (normal, pressed).
IxStateButton* AddPopupButtonFromList(IxView* view, int id, const RECT& box, DWORD flags, LPCWSTR normal,
                                      LPCWSTR pressed, LPCWSTR caption);
