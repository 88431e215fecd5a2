#include "Lib_cpp/controls/TextListWrapper.h"

IxTextListWrapper::IxTextListWrapper(IxElement* content, const IxStringArray* strings) : IxElementWrapper(content)
{
    if (!strings)
        return;
    for (int i = 0; i < strings->Count(); ++i)
        m_strings.Add(strings->At(i));
}

int IxTextListWrapper::Query(int code, LPARAM* out)
{
    if (code != IXQ_STRINGS)
        return IxElementWrapper::Query(code, out);
    if (auto* target = reinterpret_cast<IxStringArray*>(out)) {
        for (int i = 0; i < m_strings.Count(); ++i)
            target->Add(m_strings.At(i));
    }
    return 1;
}
