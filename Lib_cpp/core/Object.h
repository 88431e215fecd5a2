// The base of the framework's heap objects and the node that owns children.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "platform/base/Types.h"

// Base of the framework's heap objects.
class IxObject {
public:
    IxObject() = default;
    IxObject(const IxObject&) = delete;
    IxObject& operator=(const IxObject&) = delete;
    virtual ~IxObject() = default;
};

// An object that owns child objects and deletes them in its destructor.
class IxObjectNode : public IxObject {
public:
    IxObjectNode() : m_children(8) {}
    ~IxObjectNode() override;

    // Takes ownership of the child. 0 (the child not taken) when memory runs
    // out or the child is null.
    BOOL AddChild(IxObject* child);
    // Removes and deletes the child; 0 when it is not a child of this node.
    BOOL RemoveChild(IxObject* child);
    // Deletes every child.
    void RemoveAllChildren();

    int GetChildCount() const { return m_children.Count(); }
    IxObject* FirstChild() const { return m_children.First(); }
    // Null outside the list.
    IxObject* ChildAt(int i) const { return m_children.At(i); }
    // -1 when not a child.
    int IndexOfChild(const IxObject* child) const;

protected:
    IxArray<IxObject*> m_children;
};
