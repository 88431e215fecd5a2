#include "Lib_cpp/controls/ListImageTable.h"

#include "Lib_cpp/image/Image.h"

IxListImageTable::~IxListImageTable()
{
    for (IxImage* image : m_pSpecial) {
        if (image)
            image->Release();
    }
    for (int i = 0; i < m_images.Count(); ++i) {
        if (m_images[i])
            m_images[i]->Release();
    }
}

IxImage** IxListImageTable::Special(int index)
{
    switch (index) {
    case IXLIMG_FOLDER:
        return &m_pSpecial[0];
    case IXLIMG_CURRENT:
        return &m_pSpecial[1];
    case IXLIMG_SELECTION:
        return &m_pSpecial[2];
    case IXLIMG_STANDBY:
        return &m_pSpecial[3];
    default:
        return nullptr;
    }
}

BOOL IxListImageTable::Set(int index, IxImage* image)
{
    IxImage** slot = nullptr;
    if (index < 0) {
        slot = Special(index);
    } else {
        if (index >= m_images.Count() && !m_images.InsertGap(m_images.Count(), index + 1 - m_images.Count()))
            slot = nullptr;
        else
            slot = &m_images[index];
    }
    if (!slot) {
        if (image)
            image->Release();
        return FALSE;
    }
    if (*slot)
        (*slot)->Release();
    *slot = image;
    return TRUE;
}

IxImage* IxListImageTable::Get(int index) const
{
    if (index >= 0)
        return m_images.At(index);
    IxImage* const* slot = const_cast<IxListImageTable*>(this)->Special(index);
    return slot ? *slot : nullptr;
}
