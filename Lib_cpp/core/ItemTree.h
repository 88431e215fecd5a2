// The trees that device bridges build for browsable devices, and the play
// position of such a device.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/Object.h"
#include "Lib_cpp/core/String.h"
#include "platform/base/Types.h"

// Node of a browsable device's tree: a kind and a value chosen by the
// bridge, a name, the names of its entries as they are loaded, and the
// number of entries the device announced (-1 while unknown).
class IxItemNode : public IxObjectNode {
public:
    IxItemNode(int kind, LPCWSTR name, int value);

    // The announced count is known and every entry has been loaded.
    virtual BOOL IsComplete() const;
    // Number of entry names loaded.
    virtual int GetItemCount() const;

    int GetKind() const { return m_nKind; }
    int GetValue() const { return m_nValue; }
    const IxString& GetName() const { return m_strName; }
    BOOL IsCountUnknown() const { return m_nExpected < 0; }
    int GetExpectedCount() const { return m_nExpected; }
    void SetExpectedCount(int count) { m_nExpected = count; }
    int GetLoadedCount() const { return m_nLoaded; }
    IxStringArray& GetItems() { return m_arrItems; }
    const IxStringArray& GetItems() const { return m_arrItems; }

    // Child nodes (null when absent or not an item node).
    IxItemNode* FirstChild() const;
    IxItemNode* ChildAt(int i) const;

    // Appends an entry name; the loaded count grows by one and the announced
    // count is raised to it when lower. 0 when memory runs out (nothing
    // counted).
    BOOL AddChildName(LPCWSTR text);

protected:
    int m_nKind;
    int m_nValue;
    IxString m_strName;
    int m_nExpected = -1;
    int m_nLoaded = 0;
    IxStringArray m_arrItems{8};
};

// Play position of a browsable device: the title, the track length and
// position in seconds, the number of tracks and the current index.
struct IxItemCursor {
    IxString m_strTitle;
    int m_nLength = 0;
    int m_nPosition = -1;
    int m_nCount = -1;
    int m_nIndex = -1;

    // Back to {no title, 0, -1, -1, -1}.
    void Reset();
};
