// The real folders a tree walk has entered, by device and inode, so that a
// walk through folder links never enters the same folder twice (a link to
// its own folder or to a parent would otherwise repeat the tree without
// end).
#pragma once

#include "platform/base/Types.h"

#include <cstdint>
#include <set>
#include <utility>

class IxVisitedFolders {
public:
    // TRUE the first time the real folder that path names is entered (and
    // for a path that does not resolve, whose listing then fails); FALSE
    // when it was entered before.
    BOOL Enter(LPCWSTR path);
    void Clear() { m_seen.clear(); }

private:
    std::set<std::pair<std::uint64_t, std::uint64_t>> m_seen;
};
