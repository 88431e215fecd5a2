// Views that act as one button.
//
// - IxButtonView: press tracking over the whole view; a click reports the
//   child under the point (by id or by position); the children's notices go
//   out again as the view's own; state events are mirrored onto every child.
// - IxTextButtonView: a button view that holds a text and a value; without
//   either it is disabled and its children are hidden.
// - IxListRowView: a text button used as a row of a data list: a path, a
//   folder name or an icon put into its children -4020, -4021 and -4030,
//   the icons taken from the list's image table (request IXSVC_LISTIMAGE).
// - IxFolderRowView: a row that shows a folder and mirrors its mark onto
//   child -4021.
#pragma once

#include "Lib_cpp/controls/ListImageTable.h"
#include "Lib_cpp/controls/View.h"
#include "Lib_cpp/core/String.h"
#include "platform/base/Types.h"

class IxImage;

// Properties and queries of the text button view.
enum : int {
    IXP_TEXTBUTTONRECORD = 30, // as IXP_TEXTRECORDNOW (28)
    IXQ_BUTTONVALUE = 2,
};

// Children of a list row.
enum : int {
    IXID_ROWTEXT = -4020,
    IXID_ROWDETAIL = -4021,
    IXID_ROWICON = -4030,
};

class IxButtonView : public IxView {
public:
    // reportMode 0: clicks and notices report the child's id; otherwise its
    // position among the children.
    explicit IxButtonView(int reportMode) : m_nReportMode(reportMode) {}

    // State events set the background's frame and then go to every child.
    LRESULT OnEvent(int code, LPARAM param) override;
    // IXNAV_ENTER clicks with value -1.
    int OnKey(int code) override;
    // Itself when hit-testable; else the child hit; else itself (not for
    // IXIN_NOHIT).
    IxElement* FindTarget(int inputCode, POINT point) override;
    int OnInput(int code, LPARAM data) override;
    // A child's notice goes out as the view's own.
    int OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin) override;

    // Notice 4096 with the value of the child under the point.
    void ClickAt(POINT point, BOOL repaint);
    int GetReportMode() const { return m_nReportMode; }

protected:
    // The report value of a child: its position or its id.
    LPARAM ReportValue(IxElement* child) const;

    int m_nReportMode;
};

class IxTextButtonView : public IxButtonView {
public:
    IxTextButtonView() : IxButtonView(0) {}

    LRESULT OnEvent(int code, LPARAM param) override;
    void Draw(IxPaintRecord* record) override;
    int Query(int code, LPARAM* out) override;
    // IXP_TEXTRECORDNOW, IXP_TEXTRECORDLATER, IXP_TEXTBUTTONRECORD: an
    // IxTextPropertyRecord* (null: none). 1 when the view changed.
    int SetProperty(int id, LPARAM value) override;

    const IxString& GetText() const { return m_text; }
    LPARAM GetValue() const { return m_lValue; }
    // Enabled with the children shown when there is a text or a value;
    // else disabled with the children hidden.
    void UpdateState(BOOL repaint);

protected:
    // The text and value to show (value -6: none).
    virtual void ShowTextValue(const IxString&, LPARAM) {}
    // A state event of a view with a text.
    virtual void OnTextState(int, const IxString&, LPARAM) {}

    IxString m_text;
    LPARAM m_lValue = 0;
};

class IxListRowView : public IxTextButtonView {
public:
    // The text of a path into -4020 and its icon into -4030; index -1: the
    // path itself and the list's folder image.
    void SetRowPath(const IxString& path, int index, BOOL repaint);
    // The last folder name into -4020 (the path into -4021 when there is
    // none); index -1: the path and the list's folder image into -4021.
    void SetRowFolder(const IxString& path, int index, BOOL repaint);
    // The frame of RowIconFrame(a, b, c) into -4030 (-4: hidden).
    void SetRowIcon(int a, int b, int c);

protected:
    // The text shown for a path (the path itself here).
    virtual void FormatRowText(const IxString& path, int index, BOOL repaint);
    // The image index of a path's icon: 0 or more an image of the list's
    // table, -4 no icon, another negative value leaves the icon alone.
    virtual int RowIconIndex(const IxString&, int) { return -1; }
    // A frame of the icon for (a, b, c), with the same negative values.
    virtual int RowIconFrame(int, int, int) { return -1; }

    // A new reference to the list's image at index, null when none.
    IxImage* ListImage(int index);
    void PutIcon(int id, int index, BOOL repaint);
};

class IxFolderRowView : public IxListRowView {
public:
    // IXEV_MARKED and IXEV_UNMARKED mark and unmark child -4021 first.
    LRESULT OnEvent(int code, LPARAM param) override;

protected:
    void ShowTextValue(const IxString& text, LPARAM value) override
    {
        SetRowFolder(text, static_cast<int>(value), FALSE);
    }
    void OnTextState(int, const IxString&, LPARAM) override {}
};
