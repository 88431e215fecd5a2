#include "Lib_cpp/controls/ButtonView.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/core/Utility.h"
#include "Lib_cpp/image/Image.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Rect.h"

namespace {

bool IsStateEvent(int code)
{
    return code >= IXEV_ENABLED && code <= IXEV_RELEASED;
}

// The child's flag that a state event sets or clears.
void MirrorState(IxElement* child, int code, LPARAM param)
{
    const BOOL on = (code - IXEV_ENABLED) % 2 == 0;
    switch (code) {
    case IXEV_ENABLED:
    case IXEV_DISABLED:
        child->Enable(on, param);
        break;
    case IXEV_INPUTALLOWED:
    case IXEV_INPUTREFUSED:
        child->SetInputAllowed(on, param);
        break;
    case IXEV_SELECTED:
    case IXEV_UNSELECTED:
        child->SetSelected(on, param);
        break;
    case IXEV_CURRENT:
    case IXEV_NOTCURRENT:
        child->SetCurrent(on, param);
        break;
    default:
        child->SetPressed(on, param);
        break;
    }
}

} // namespace

// ---------------------------------------------------------------------------
// IxButtonView

LPARAM IxButtonView::ReportValue(IxElement* child) const
{
    if (m_nReportMode == 0)
        return child ? child->GetId() : 0;
    if (!child)
        return -1;
    const int position = m_children.IndexOf(child);
    return position < m_children.Count() ? position : -1;
}

LRESULT IxButtonView::OnEvent(int code, LPARAM param)
{
    if (!IsStateEvent(code))
        return IxView::OnEvent(code, param);
    IxElementWatch self(this);
    LRESULT result = IxView::OnEvent(code, param);
    if (self.Alive())
        EachChild([&](IxElement* child) { MirrorState(child, code, param); });
    return result;
}

int IxButtonView::OnKey(int code)
{
    if (code != IXNAV_ENTER)
        return 0;
    IxElementWatch self(this);
    PostElementNotify(this, m_nId, AEV_CLICK, -1);
    if (self.Alive() && HasFlag(IXF_INVALIDATEALL))
        IxKernel::MarkUpdateAll(this);
    return 1;
}

IxElement* IxButtonView::FindTarget(int inputCode, POINT point)
{
    if (HasFlag(IXF_HITCLIENT))
        return this;
    if (IxElement* child = ChildTargetAt(inputCode, point))
        return child;
    return inputCode == IXIN_NOHIT ? nullptr : this;
}

int IxButtonView::OnInput(int code, LPARAM data)
{
    const auto* pt = reinterpret_cast<const POINT*>(data);
    const POINT point = pt ? *pt : POINT{0, 0};
    IxElementWatch self(this);
    switch (code) {
    case IXIN_DOWN:
        if (HasFlag(IXF_DISABLED | IXF_NOINPUT))
            return 0;
        SetPressed(TRUE, TRUE);
        if (self.Alive())
            PostElementNotify(this, m_nId, AEV_PRESSED, 0);
        if (self.Alive() && HasFlag(IXF_CLICKONPRESS))
            ClickAt(point, TRUE);
        return self.Alive() ? 2 : 0;
    case IXIN_MOVE:
        return TrackPressMove(pt && PtInRectInclusive(RECT{0, 0, Width(), Height()}, point));
    case IXIN_UP:
        if (TrackPressRelease() && !HasFlag(IXF_CLICKONPRESS))
            ClickAt(point, TRUE);
        return 0;
    case IXIN_REPEAT:
        PostElementNotify(this, m_nId, AEV_REPEAT, 0);
        return 0;
    case IXIN_TAP:
        // The frame ends a press that did not move with a tap: it is the
        // release of the view's own press.
        if (HasFlag(IXF_PRESSED)) {
            SetPressed(FALSE, TRUE);
            if (self.Alive() && !HasFlag(IXF_CLICKONPRESS))
                ClickAt(point, TRUE);
            return 0;
        }
        if (HasFlag(IXF_HITCLIENT)) {
            ClickAt(point, FALSE);
            return 0;
        }
        return IxView::OnInput(code, data);
    default:
        return IxView::OnInput(code, data);
    }
}

void IxButtonView::ClickAt(POINT point, BOOL repaint)
{
    if (repaint)
        MarkUpdate();
    IxElementWatch self(this);
    PostElementNotify(this, m_nId, AEV_CLICK, ReportValue(ChildAt(point)));
    if (self.Alive() && HasFlag(IXF_INVALIDATEALL))
        IxKernel::MarkUpdateAll(this);
}

int IxButtonView::OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin)
{
    if (kind != IXCN_NOTICE || !data || !sender || sender == this)
        return IxView::OnChildNotify(kind, data, sender, origin);
    const auto* record = reinterpret_cast<const IxNoticeRecord*>(data);
    const LPARAM value = m_nReportMode ? ReportValue(sender) : (origin ? origin->GetId() : 0);
    PostElementNotify(this, m_nId, IxActionKind(record->dwWord), value);
    return 1;
}

// ---------------------------------------------------------------------------
// IxTextButtonView

LRESULT IxTextButtonView::OnEvent(int code, LPARAM param)
{
    IxElementWatch self(this);
    if (code == IXEV_ATTACHED) {
        m_dwFlags |= IXF_DIRECTNOTIFY;
        UpdateState(FALSE);
    } else if ((code == IXEV_CURRENT || code == IXEV_NOTCURRENT) && param) {
        Redraw();
    }
    if (!self.Alive())
        return 0;
    LRESULT result = IxButtonView::OnEvent(code, param);
    if (self.Alive() && IsStateEvent(code) && !m_text.IsEmpty())
        OnTextState(code, m_text, m_lValue);
    return result;
}

void IxTextButtonView::UpdateState(BOOL repaint)
{
    IxElementWatch self(this);
    const bool none = m_text.IsEmpty() && m_lValue == 0;
    if (none)
        m_dwFlags |= IXF_DISABLED;
    else
        m_dwFlags &= ~IXF_DISABLED;
    if (!EachChild([&](IxElement* child) { child->Show(!none, FALSE); }))
        return;
    if (m_pBackground)
        SetImageFrame(this, m_pBackground, none ? IXSTATE_NORMAL : PickStateFrame(this, m_pBackground, FALSE), FALSE);
    IxString text(m_text); // the hook may change the view's own
    ShowTextValue(text, none ? -6 : m_lValue);
    if (self.Alive() && repaint)
        Redraw();
}

int IxTextButtonView::SetProperty(int id, LPARAM value)
{
    if (id != IXP_TEXTRECORDNOW && id != IXP_TEXTRECORDLATER && id != IXP_TEXTBUTTONRECORD)
        return IxButtonView::SetProperty(id, value);
    const auto* record = reinterpret_cast<const IxTextPropertyRecord*>(value);
    const BOOL repaint = id != IXP_TEXTRECORDLATER;
    if (record && !record->text.IsEmpty()) {
        if (m_text.Equals(record->text) && record->lValue == m_lValue)
            return 0;
        m_text.Share(record->text);
        m_lValue = record->lValue;
    } else {
        const LPARAM given = record ? record->lValue : 0;
        if (m_text.IsEmpty() && given == m_lValue)
            return 0;
        m_text.Release();
        m_lValue = 0;
    }
    UpdateState(repaint);
    return 1;
}

int IxTextButtonView::Query(int code, LPARAM* out)
{
    if (code == IXQ_BUTTONVALUE) {
        if (out)
            *out = m_lValue;
        return 1;
    }
    if (code == IXQ_SHARETEXT) {
        if (auto* text = reinterpret_cast<IxString*>(out))
            text->Share(m_text);
        return 1;
    }
    return IxButtonView::Query(code, out);
}

void IxTextButtonView::Draw(IxPaintRecord* record)
{
    IxButtonView::Draw(record);
    if (!HasFlag(IXF_CURRENT))
        return;
    if (auto* image = reinterpret_cast<IxImage*>(Control(IXSVC_LISTIMAGE, 0, IXLIMG_CURRENT)))
        DrawImage(record, image);
}

// ---------------------------------------------------------------------------
// IxListRowView

IxImage* IxListRowView::ListImage(int index)
{
    auto* image = reinterpret_cast<IxImage*>(Control(IXSVC_LISTIMAGE, 0, index));
    if (image)
        image->AddRef();
    return image;
}

void IxListRowView::PutIcon(int id, int index, BOOL repaint)
{
    IxElement* child = FindChildDeep(id);
    if (!child)
        return;
    IxImage* image = ListImage(index);
    IxElementWatch watch(child);
    if (child->SetProperty(repaint ? IXP_IMAGENOW : IXP_IMAGELATER, reinterpret_cast<LPARAM>(image)) == 0 && image)
        image->Release(); // not taken
    if (watch.Alive())
        child->Show(TRUE, repaint);
}

void IxListRowView::FormatRowText(const IxString& path, int, BOOL repaint)
{
    if (IxElement* child = FindChildDeep(IXID_ROWTEXT))
        child->SetProperty(repaint ? IXP_TEXTNOW : IXP_TEXTLATER, reinterpret_cast<LPARAM>(&path));
}

namespace {

void PutText(IxView* row, int id, const IxString& text, BOOL repaint)
{
    if (IxElement* child = row->FindChildDeep(id))
        child->SetProperty(repaint ? IXP_TEXTNOW : IXP_TEXTLATER, reinterpret_cast<LPARAM>(&text));
}

} // namespace

void IxListRowView::SetRowPath(const IxString& path, int index, BOOL repaint)
{
    if (index == IXLIMG_FOLDER) {
        PutText(this, IXID_ROWTEXT, path, repaint);
        PutIcon(IXID_ROWICON, IXLIMG_FOLDER, repaint);
        return;
    }
    if (path.IsEmpty()) {
        PutText(this, IXID_ROWTEXT, IxString(), repaint);
        return;
    }
    FormatRowText(path, index, repaint);
    const int icon = RowIconIndex(path, index);
    if (icon == -4) {
        if (IxElement* child = FindChildDeep(IXID_ROWICON))
            child->Show(FALSE, repaint);
    } else if (icon >= 0) {
        PutIcon(IXID_ROWICON, icon, repaint);
    }
}

void IxListRowView::SetRowFolder(const IxString& path, int index, BOOL repaint)
{
    if (index == IXLIMG_FOLDER) {
        PutText(this, IXID_ROWTEXT, path, repaint);
        PutIcon(IXID_ROWDETAIL, IXLIMG_FOLDER, repaint);
        return;
    }
    if (path.IsEmpty()) {
        PutText(this, IXID_ROWTEXT, IxString(), repaint);
        PutText(this, IXID_ROWDETAIL, IxString(), repaint);
        return;
    }
    IxString folder;
    IxGetLastFolder(path.Text(), folder);
    PutText(this, IXID_ROWTEXT, folder, repaint);
    if (folder.IsEmpty())
        PutText(this, IXID_ROWDETAIL, path, repaint);
}

void IxListRowView::SetRowIcon(int a, int b, int c)
{
    const int frame = RowIconFrame(a, b, c);
    IxElement* icon = FindChildDeep(IXID_ROWICON);
    if (!icon)
        return;
    if (frame == -4)
        icon->Show(FALSE, TRUE);
    else if (frame >= 0)
        icon->SetProperty(IXP_FRAME, frame);
}

// ---------------------------------------------------------------------------
// IxFolderRowView

LRESULT IxFolderRowView::OnEvent(int code, LPARAM param)
{
    if (code == IXEV_MARKED || code == IXEV_UNMARKED) {
        IxElementWatch self(this);
        SetChildMarked(this, IXID_ROWDETAIL, code == IXEV_UNMARKED, FALSE);
        if (!self.Alive())
            return 0;
    }
    return IxTextButtonView::OnEvent(code, param);
}
