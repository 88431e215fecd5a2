#include "Lib_cpp/controls/LayoutDC.h"

#include "Lib_cpp/kernel/Kernel.h"
#include "Lib_cpp/kernel/ServiceCodes.h"

IxLayoutDC::IxLayoutDC()
{
    IxKernel* kernel = IxGetKernel();
    m_pDC = kernel ? reinterpret_cast<IxDC*>(kernel->Service(IXSVC_OPENDC, nullptr, 0)) : nullptr;
}

IxLayoutDC::~IxLayoutDC()
{
    if (!m_pDC)
        return;
    if (IxKernel* kernel = IxGetKernel())
        kernel->Service(IXSVC_ENDDC, m_pDC, 0);
}

const IxFontEntry* IxLayoutDC::Font(int i) const
{
    IxFontTable* fonts = m_pDC ? m_pDC->GetFontTable() : nullptr;
    return fonts ? fonts->At(i) : nullptr;
}
