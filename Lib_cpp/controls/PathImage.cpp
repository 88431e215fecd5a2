#include "Lib_cpp/controls/PathImage.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ElementCodes.h"
#include "Lib_cpp/controls/ImageLoader.h"
#include "Lib_cpp/image/Image.h"
#include "Lib_cpp/kernel/ServiceCodes.h"

#include <new>

IxPathImage::IxPathImage(IxImageLoader* loader) : m_pLoader(loader ? loader : &IxImageLoader::Get()) {}

IxPathImage::~IxPathImage()
{
    // The loader must not wait for a control that is gone.
    CancelLoad();
}

void IxPathImage::Show(IxImage* image)
{
    AssignImageRef(this, &m_pImage, image);
}

IxImage* IxPathImage::AskListImage(int index)
{
    return reinterpret_cast<IxImage*>(Control(IXSVC_LISTIMAGE, 0, index));
}

void IxPathImage::CancelLoad()
{
    if (m_path.IsEmpty())
        return;
    m_pLoader->CancelAndWake(this);
    m_path.Release();
}

void IxPathImage::SetPath(const IxString& path)
{
    if (!m_path.IsEmpty() && m_path.Equals(path))
        return;
    CancelLoad();
    if (IxImage* standby = AskListImage(IXLIMG_STANDBY)) {
        standby->AddRef();
        Show(standby);
        if (m_pLoader->Enqueue(this, path, Width(), Height()))
            m_path.Share(path);
        return;
    }
    Show(new (std::nothrow) IxDecodedImage(path.Text(), Width(), Height(), IXLM_SCALED_LATER, nullptr));
}

void IxPathImage::ShowEmpty()
{
    CancelLoad();
    IxImage* image = AskListImage(IXLIMG_EMPTY);
    if (image)
        image->AddRef();
    Show(image);
}

void IxPathImage::Clear()
{
    CancelLoad();
    Show(nullptr);
}

void IxPathImage::TakeLoadedImage()
{
    BOOL taken = FALSE;
    IxImage* image = m_pLoader->TakeResult(this, &taken);
    if (!taken)
        return; // not this control's result (yet): the load stays pending
    m_path.Release();
    if (image) {
        Show(image);
        RefreshLayout(this, TRUE);
    }
}

int IxPathImage::SetProperty(int id, LPARAM value)
{
    switch (id) {
    case IXP_TEXTNOW:
    case IXP_TEXTLATER:
    case IXP_TEXTRECORDNOW:
    case IXP_TEXTRECORDLATER: {
        const auto* path = reinterpret_cast<const IxString*>(value);
        if (!path)
            Clear();
        else if (path->IsEmpty())
            ShowEmpty();
        else
            SetPath(*path);
        RefreshLayout(this, id == IXP_TEXTNOW || !HasFlag(IXF_LAYOUTPENDING));
        return 1;
    }
    default:
        return IxImageElement::SetProperty(id, value);
    }
}

LRESULT IxPathImage::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_PICTUREREADY:
        TakeLoadedImage();
        return 1;
    case IXEV_DETACHED:
        CancelLoad();
        break;
    case IXEV_MARKED:
        if (m_pImage)
            m_pImage->Control(IXIC_UNLOAD, 0);
        CancelLoad();
        break;
    default:
        break;
    }
    return IxImageElement::OnEvent(code, param);
}
