#include "Lib_cpp/fs/VisitedFolders.h"

#include "platform/io/File.h"

#include <new>

BOOL IxVisitedFolders::Enter(LPCWSTR path)
{
    std::uint64_t device = 0, inode = 0;
    // A folder that cannot be resolved is let through: listing it reports
    // the failure as before.
    if (!platform::UnitFileIdentity(path, device, inode))
        return TRUE;
    try {
        return m_seen.emplace(device, inode).second ? TRUE : FALSE;
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}
