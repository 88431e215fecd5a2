// A wrapper that keeps a list of strings beside its content and hands them
// out through query IXQ_STRINGS (the item container's editing controls read
// their choices this way).
#pragma once

#include "Lib_cpp/controls/ElementWrapper.h"
#include "Lib_cpp/core/Containers.h"

class IxTextListWrapper : public IxElementWrapper {
public:
    // Shares every string of the array (null: none).
    IxTextListWrapper(IxElement* content, const IxStringArray* strings);

    // IXQ_STRINGS: out is an IxStringArray* that gets shared copies of the
    // strings; 1. Other queries go to the content.
    int Query(int code, LPARAM* out) override;

    const IxStringArray& Strings() const { return m_strings; }

private:
    IxStringArray m_strings{8};
};
