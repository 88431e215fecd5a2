#include "Lib_cpp/controls/ImageElement.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/image/Image.h"

#include <new>

namespace {

SIZE SizeOf(IxImage* image)
{
    SIZE size{0, 0};
    if (image)
        image->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
    return size;
}

bool IsStateEvent(int code)
{
    return code >= IXEV_ENABLED && code <= IXEV_RELEASED;
}

} // namespace

// ---------------------------------------------------------------------------
// IxImageElement

IxImageElement::~IxImageElement()
{
    if (m_pImage)
        m_pImage->Release();
}

void IxImageElement::SetImage(IxImage* image, BOOL repaint)
{
    AssignImageRef(this, &m_pImage, image);
    RefreshLayout(this, repaint);
}

LRESULT IxImageElement::OnEvent(int code, LPARAM param)
{
    if (code == IXEV_MARKED) {
        // A marked element loads its pictures on demand: drop what is loaded.
        if (m_pImage)
            m_pImage->Control(IXIC_UNLOAD, 0);
        return 1;
    }
    if (m_pImage && IsStateEvent(code)) {
        SetImageFrameAndLayout(this, m_pImage, PickStateFrame(this, m_pImage, TRUE), param);
        return 1;
    }
    return IxElement::OnEvent(code, param);
}

int IxImageElement::Layout(LPARAM)
{
    if (HasFlag(IXF_LAYOUTPENDING) && m_pImage)
        m_pImage->Control(IXIC_SETFRAME, PickStateFrame(this, m_pImage, FALSE));
    const SIZE image = SizeOf(m_pImage);
    if (Width() < 0)
        m_rc.right = m_rc.left + image.cx;
    if (Height() < 0)
        m_rc.bottom = m_rc.top + image.cy;
    if (HasFlag(IXF_STRETCH))
        AlignRect(Width(), Height(), &m_rcHit);
    else
        AlignRect(image.cx, image.cy, &m_rcHit);
    return 1;
}

void IxImageElement::Draw(IxPaintRecord* record)
{
    if (!m_pImage || !record)
        return;
    m_pImage->Draw(record->dc, m_rcHit, &record->clip);
    // The current item's look is an overlay drawn over the state's frame.
    if (HasFlag(IXF_CURRENT) && m_pImage->Query(IXIQ_HASFRAME, IXSTATE_CURRENT)) {
        const INT_PTR shown = m_pImage->Query(IXIQ_CURFRAME, 0);
        m_pImage->Control(IXIC_SETFRAME, IXSTATE_CURRENT);
        m_pImage->Draw(record->dc, m_rcHit, &record->clip);
        m_pImage->Control(IXIC_SETFRAME, shown);
    }
}

int IxImageElement::Query(int code, LPARAM* out)
{
    switch (code) {
    case IXQ_FRAMECOUNT:
        return m_pImage ? static_cast<int>(m_pImage->Query(IXIQ_FRAMECOUNT, 0)) : 0;
    case IXQ_CURFRAME:
        return m_pImage ? static_cast<int>(m_pImage->Query(IXIQ_CURFRAME, 0)) : -1;
    default:
        return IxElement::Query(code, out);
    }
}

int IxImageElement::SetProperty(int id, LPARAM value)
{
    switch (id) {
    case IXP_FRAME:
        SetImageFrameAndLayout(this, m_pImage, static_cast<int>(value), TRUE);
        return 1;
    case IXP_IMAGENOW:
    case IXP_IMAGELATER:
        SetImage(reinterpret_cast<IxImage*>(value), id == IXP_IMAGENOW);
        return 1;
    default:
        return IxControl::SetProperty(id, value);
    }
}

int IxImageElement::OnCreate(const IxElementParams* params)
{
    if (params && params->nContentKind == IXCONTENT_IMAGE)
        AssignImageRef(this, &m_pImage, reinterpret_cast<IxImage*>(params->lContentValue));
    return 1;
}

// ---------------------------------------------------------------------------
// IxStaticImage

int IxStaticImage::OnCreate(const IxElementParams* params)
{
    if (params && params->nContentKind >= IXCONTENT_BITMAPFILE && params->nContentKind <= IXCONTENT_DECODEDLIST) {
        AssignImageRef(this, &m_pImage, CreateImageFromParams(this, params));
        return 1;
    }
    return IxImageElement::OnCreate(params);
}

// ---------------------------------------------------------------------------
// IxStateImage

IxStateImage::IxStateImage(IxDefaultStates) : m_table(Table::Default) {}

IxStateImage::IxStateImage(const int (&table)[6]) : m_table(Table::Frames)
{
    for (int i = 0; i < 6; ++i)
        m_frames[i] = table[i];
}

IxImage* IxStateImage::Wrap(IxImage* image) const
{
    if (!image || m_table == Table::None)
        return image;
    auto* ref = new (std::nothrow) IxImageRef(image, m_table == Table::Frames ? m_frames : nullptr);
    if (!ref) {
        image->Release();
        IxRecordNoMemory();
    }
    return ref;
}

int IxStateImage::SetProperty(int id, LPARAM value)
{
    if (id != IXP_FRAME)
        return IxImageElement::SetProperty(id, value);
    if (value < 0 || value >= IXI_STATE_COUNT)
        return 0;
    SetImageFrameAndLayout(this, m_pImage, IXSTATE_NORMAL + static_cast<int>(value), TRUE);
    return 1;
}

int IxStateImage::OnCreate(const IxElementParams* params)
{
    if (!params)
        return 1;
    IxImage* image = nullptr;
    if (params->nContentKind == IXCONTENT_IMAGE)
        image = reinterpret_cast<IxImage*>(params->lContentValue);
    else if (params->nContentKind >= IXCONTENT_BITMAPFILE && params->nContentKind <= IXCONTENT_DECODEDLIST)
        image = CreateImageFromParams(this, params);
    if (image)
        AssignImageRef(this, &m_pImage, Wrap(image));
    return 1;
}

// ---------------------------------------------------------------------------
// IxToggleImage

int IxToggleImage::Query(int code, LPARAM* out)
{
    if (code == IXQ_CURFRAME)
        return HasFlag(IXF_SELECTED) ? 1 : 0;
    return IxStateImage::Query(code, out);
}

int IxToggleImage::SetProperty(int id, LPARAM value)
{
    if (id != IXP_FRAME)
        return IxStateImage::SetProperty(id, value);
    if (value < -1 || value > 1)
        return 0;
    const BOOL selected = value == -1 ? !HasFlag(IXF_SELECTED) : static_cast<BOOL>(value);
    SetPressed(FALSE, TRUE);
    SetCurrent(FALSE, TRUE);
    SetSelected(selected, TRUE);
    return 1;
}

void IxToggleImage::Click(LPARAM, BOOL redraw)
{
    if (!HasFlag(IXF_MARKED)) {
        SetPressed(FALSE, TRUE);
        SetSelected(!HasFlag(IXF_SELECTED), TRUE);
        SetCurrent(FALSE, TRUE);
    }
    IxStateImage::Click(HasFlag(IXF_SELECTED) ? 1 : 0, redraw);
}

// ---------------------------------------------------------------------------
// IxMultiImage

IxMultiImage::~IxMultiImage()
{
    for (int i = 0; i < m_images.Count(); ++i)
        m_images[i]->Release();
}

BOOL IxMultiImage::AddImage(IxImage* image)
{
    if (!image)
        return FALSE;
    if (!m_images.Add(image)) {
        image->Release();
        return FALSE;
    }
    return TRUE;
}

BOOL IxMultiImage::ShowIndex(int index, BOOL repaint)
{
    if (index < 0 || index >= m_images.Count())
        index = -1;
    if (index == m_nShown)
        return FALSE;
    m_nShown = index;
    if (index == -1) {
        InvalidateArea(nullptr, IXINV_UPDATE);
        return TRUE;
    }
    IxImage* image = m_images[index];
    image->AddRef();
    AssignImageRef(this, &m_pImage, image);
    if (repaint)
        RefreshLayout(this, TRUE);
    return TRUE;
}

int IxMultiImage::Query(int code, LPARAM* out)
{
    if (code == IXQ_CURFRAME)
        return m_nShown;
    return IxImageElement::Query(code, out);
}

int IxMultiImage::SetProperty(int id, LPARAM value)
{
    if (id != IXP_FRAME)
        return IxImageElement::SetProperty(id, value);
    const int count = m_images.Count();
    int index = static_cast<int>(value);
    if (index == IXFRAME_NEXT || index == IXFRAME_PREVIOUS) {
        if (count < 2)
            return 0;
        if (index == IXFRAME_NEXT)
            index = m_nShown + 1 < count ? m_nShown + 1 : 0;
        else
            index = m_nShown > 0 ? m_nShown - 1 : count - 1;
    }
    return ShowIndex(index, TRUE);
}

int IxMultiImage::OnCreate(const IxElementParams* params)
{
    if (!params)
        return 1;
    if (params->nContentKind == IXCONTENT_IMAGE) {
        AddImage(reinterpret_cast<IxImage*>(params->lContentValue));
    } else if (params->nContentKind == IXCONTENT_IMAGEARRAY) {
        if (const auto* images = reinterpret_cast<const IxArray<IxImage*>*>(params->lContentValue)) {
            for (int i = 0; i < images->Count(); ++i) {
                if (IxImage* image = (*images)[i]) {
                    image->AddRef();
                    AddImage(image);
                }
            }
        }
    }
    return 1;
}
