#include "Lib_cpp/core/Object.h"

IxObjectNode::~IxObjectNode()
{
    RemoveAllChildren();
}

BOOL IxObjectNode::AddChild(IxObject* child)
{
    return child ? m_children.Add(child) : FALSE;
}

BOOL IxObjectNode::RemoveChild(IxObject* child)
{
    int i = child ? m_children.IndexOfValue(child) : -1;
    if (i < 0)
        return FALSE;
    m_children.RemoveAt(i);
    delete child;
    return TRUE;
}

void IxObjectNode::RemoveAllChildren()
{
    // Children are unlinked before they are deleted, so a child's destructor
    // never sees itself in the list.
    while (m_children.Count() > 0) {
        IxObject* child = m_children[m_children.Count() - 1];
        m_children.RemoveAt(m_children.Count() - 1);
        delete child;
    }
    m_children.Free();
}

int IxObjectNode::IndexOfChild(const IxObject* child) const
{
    for (int i = 0; i < m_children.Count(); ++i) {
        if (m_children[i] == child)
            return i;
    }
    return -1;
}
