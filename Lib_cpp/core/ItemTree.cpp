#include "Lib_cpp/core/ItemTree.h"

IxItemNode::IxItemNode(int kind, LPCWSTR name, int value) : m_nKind(kind), m_nValue(value), m_strName(name) {}

BOOL IxItemNode::IsComplete() const
{
    return m_nExpected >= 0 && m_nExpected == m_nLoaded;
}

int IxItemNode::GetItemCount() const
{
    return m_arrItems.Count();
}

IxItemNode* IxItemNode::FirstChild() const
{
    return dynamic_cast<IxItemNode*>(IxObjectNode::FirstChild());
}

IxItemNode* IxItemNode::ChildAt(int i) const
{
    return dynamic_cast<IxItemNode*>(IxObjectNode::ChildAt(i));
}

BOOL IxItemNode::AddChildName(LPCWSTR text)
{
    if (!m_arrItems.AddText(text))
        return FALSE;
    ++m_nLoaded;
    if (m_nExpected < m_nLoaded)
        m_nExpected = m_nLoaded;
    return TRUE;
}

void IxItemCursor::Reset()
{
    m_strTitle.Release();
    m_nLength = 0;
    m_nPosition = -1;
    m_nCount = -1;
    m_nIndex = -1;
}
